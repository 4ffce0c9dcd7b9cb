// Files on Windows: text mode on disk (CRLF line ends), saves replaced with MoveFileEx after the
// data reached the disk, reads that accept both line ends.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"

namespace platform {
namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : "";
  return path.substr(0, slash + 1);
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }
bool IsDirectory(DWORD a) { return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY); }

// The names Windows gives to devices in every directory (NUL, CON, COM1, ...), written in place.
bool IsDeviceName(const std::string& path) {
  std::string base = path.substr(DirectoryOf(path).size());
  base = base.substr(0, base.find('.'));
  for (char& c : base) c = char(toupper(static_cast<unsigned char>(c)));
  if (base == "NUL" || base == "CON" || base == "PRN" || base == "AUX") return true;
  return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) && base[3] >= '1' &&
         base[3] <= '9';
}

}  // namespace

SafeFile::~SafeFile() {
  if (file_) std::fclose(file_);
  std::free(prepared_);
  if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
}

bool SafeFile::OpenNew(const std::string& dir, const std::string& base) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06lu",
                  (GetTickCount() * 7919ul + GetCurrentProcessId() + attempt) % 1000000ul);
    const std::string name = dir + "." + base + kMark + suffix;
    // Text mode: the file on disk has CRLF line ends, as every Windows program expects.
    const int fd = _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    file_ = _fdopen(fd, "w");
    if (!file_) {
      _close(fd);
      DeleteFileA(name.c_str());
      return false;
    }
    temporary_ = name;
    return true;
  }
  errno = EEXIST;
  return false;
}

bool SafeFile::Open(const std::string& path) {
  if (path.empty()) return false;
  const std::string dir = DirectoryOf(path), base = path.substr(dir.size());
  const DWORD a = Attributes(path);
  if (base.empty() || IsDirectory(a)) {
    errno = EISDIR;
    return false;
  }
  target_ = path;
  if (IsDeviceName(path)) {
    mode_ = Mode::kInPlace;
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
  }
  if (a == INVALID_FILE_ATTRIBUTES) {
    if (!IsDirectory(Attributes(dir.empty() ? "." : dir))) {
      errno = ENOENT;
      return false;
    }
    mode_ = Mode::kReplace;
    return OpenNew(dir, base);
  }
  if (a & FILE_ATTRIBUTE_READONLY) {
    errno = EACCES;
    return false;
  }
  mode_ = Mode::kReplace;
  return OpenNew(dir, base);
}

bool SafeFile::CommitPrepared() { return false; }  // every save is a replacement on Windows

bool SafeFile::Commit() {
  if (!file_) return false;
  bool written = std::fflush(file_) == 0 && !std::ferror(file_);
  if (mode_ == Mode::kReplace) written = written && _commit(_fileno(file_)) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (mode_ == Mode::kInPlace) return written && closed;
  if (!written || !closed) return false;
  // A target another program holds open for a moment (a reader without delete sharing, a virus
  // scanner) is tried again for up to half a second.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      break;
    const DWORD e = GetLastError();
    if ((e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION) || attempt == 50) {
      errno = e == ERROR_ACCESS_DENIED ? EACCES : EIO;
      return false;
    }
    ::Sleep(10);
  }
  temporary_.clear();
  return true;
}

ReadResult ReadRegularFile(const char* path, size_t limit, std::string& text) {
  return ReadBounded(path, limit, text);  // the listing of Windows reads no files
}

ReadResult ReadBounded(const char* path, size_t limit, std::string& text) {
  text.clear();
  if (!path || IsDirectory(Attributes(path))) return ReadResult::kCannotOpen;
  // Shared for deletion too, so that a save may replace the file while it is read (the reader keeps
  // the old file whole). A file that another program holds for a moment is tried again.
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 50; ++attempt) {
    h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) break;
    const DWORD e = GetLastError();
    if (e != ERROR_SHARING_VIOLATION && e != ERROR_ACCESS_DENIED) return ReadResult::kCannotOpen;
    ::Sleep(10);
  }
  if (h == INVALID_HANDLE_VALUE) return ReadResult::kCannotOpen;
  char chunk[65536];
  ReadResult result = ReadResult::kRead;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
      result = ReadResult::kFailed;
      break;
    }
    if (n == 0) break;
    if (text.size() + size_t(n) > limit) {
      result = ReadResult::kTooLarge;
      break;
    }
    text.append(chunk, size_t(n));
  }
  CloseHandle(h);
  if (result != ReadResult::kRead) {
    text.clear();
    return result;
  }
  // Both line ends are accepted: CRLF reads as LF.
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) text[out++] = text[i];
  text.resize(out);
  return result;
}

bool CanWriteFile(const std::string& path, std::string& why) {
  const std::string with_slash = DirectoryOf(path);
  const std::string dir = with_slash.empty() ? "." : with_slash;
  if (!IsDirectory(Attributes(dir))) {
    why = dir + ": " + std::strerror(ENOENT);
    return false;
  }
  const DWORD a = Attributes(path);
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
    why = path + ": " + std::strerror(EACCES);
    return false;
  }
  return true;
}

std::vector<std::string> DirectoryEntries(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string LinkText(const std::string&) { return ""; }

bool MayReadWrite(const std::string& path) { return _access(path.c_str(), 6) == 0; }

bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool CreatePrivateFile(const std::string& path, const std::string& text, std::string& why) {
  const HANDLE h =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    why = "error " + std::to_string(GetLastError());
    return false;
  }
  DWORD written = 0;
  const bool ok = WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr) &&
                  written == text.size() && FlushFileBuffers(h);
  if (!ok) why = "error " + std::to_string(GetLastError());
  CloseHandle(h);
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

}  // namespace platform
