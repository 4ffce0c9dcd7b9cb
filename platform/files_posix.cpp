#include "platform/files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {
namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return path.substr(0, slash + 1);
}

// The kernel's rule for links in shared directories (fs.protected_symlinks), applied whatever the
// machine's setting, since the save follows links itself: a link in a sticky directory that anyone
// may write is followed only when it belongs to the caller or to the directory's owner. Otherwise
// a link another user left there could aim a save (by root, too) at any file.
bool MayFollow(const std::string& link, const struct stat& link_st) {
  const std::string dir = DirectoryOf(link);
  struct stat dir_st {};
  if (stat(dir.empty() ? "." : dir.c_str(), &dir_st) != 0) return false;
  const bool shared = (dir_st.st_mode & S_ISVTX) && (dir_st.st_mode & S_IWOTH);
  return !shared || link_st.st_uid == geteuid() || link_st.st_uid == dir_st.st_uid;
}

// The file a path names after following its symbolic links (also a dangling one: a save creates
// the file it points to). False with errno on a loop, a failed lookup or a link that may not be
// followed (EACCES).
bool FollowLinks(const std::string& path, std::string& resolved) {
  resolved = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(resolved.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISLNK(st.st_mode)) return true;
    if (!MayFollow(resolved, st)) {
      errno = EACCES;
      return false;
    }
    std::vector<char> target(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = readlink(resolved.c_str(), target.data(), target.size());
    if (n < 0) return false;
    const std::string link(target.data(), size_t(n));
    resolved = link[0] == '/' ? link : DirectoryOf(resolved) + link;
  }
  errno = ELOOP;
  return false;
}

}  // namespace

SafeFile::~SafeFile() {
  if (file_) std::fclose(file_);
  if (target_fd_ >= 0) close(target_fd_);
  std::free(prepared_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool SafeFile::OpenNew(const std::string& dir, const std::string& base) {
  // The new file's name stays within the system's limit for a name, whatever the target's length:
  // the part taken from the target is shortened (the name is only ever seen while it is written).
  const long name_max = pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
  const size_t room = size_t(name_max > 0 ? name_max : 255) - 1 - std::strlen(kMark) - 6;
  std::string pattern = dir + "." + base.substr(0, std::min(base.size(), room)) + kMark + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back(0);
  const int fd = mkstemp(name.data());
  if (fd < 0) return false;
  if (keep_mode_) {
    fchmod(fd, mode_t(mode_bits_));
    // Only root may give a file away; others keep their own file's owner (or write in place).
    if (fchown(fd, uid_t(owner_), gid_t(group_)) != 0) {
      const int group_only = fchown(fd, uid_t(-1), gid_t(group_));
      (void)group_only;
    }
    fchmod(fd, mode_t(mode_bits_));  // a change of owner clears set-id bits
  } else {
    // mkstemp makes the file private; a new file gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  file_ = fdopen(fd, "w");
  if (!file_) {
    const int e = errno;
    close(fd);
    unlink(name.data());
    errno = e;
    return false;
  }
  temporary_ = name.data();
  return true;
}

bool SafeFile::Open(const std::string& path) {
  std::string target;
  if (path.empty() || !FollowLinks(path, target)) return false;
  const std::string dir = DirectoryOf(target), base = target.substr(dir.size());
  if (base.empty()) {
    errno = EISDIR;
    return false;
  }
  target_ = target;
  struct stat st {};
  if (stat(target.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    mode_ = Mode::kReplace;
    return OpenNew(dir, base);
  }
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (access(target.c_str(), W_OK) != 0) return false;
  if (!S_ISREG(st.st_mode)) {  // a FIFO, a terminal, a device: written where it is
    mode_ = Mode::kInPlace;
    file_ = std::fopen(target.c_str(), "w");
    return file_ != nullptr;
  }
  keep_mode_ = true;
  mode_bits_ = unsigned(st.st_mode & 07777);
  owner_ = unsigned(st.st_uid);
  group_ = unsigned(st.st_gid);
  const bool may_keep_owner = geteuid() == 0 || geteuid() == st.st_uid;
  const bool may_replace = access((dir.empty() ? "." : dir.c_str()), W_OK | X_OK) == 0;
  if (may_replace && may_keep_owner && st.st_nlink <= 1) {
    mode_ = Mode::kReplace;
    return OpenNew(dir, base);
  }
  // The text is prepared in memory and written over the old file when complete, through the file
  // opened and checked now: whatever takes the name meanwhile (a link put in its place) is not
  // followed at the commit.
  target_fd_ = open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  struct stat opened {};
  if (target_fd_ < 0) return false;
  if (fstat(target_fd_, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != st.st_dev ||
      opened.st_ino != st.st_ino) {
    close(target_fd_);
    target_fd_ = -1;
    errno = EACCES;
    return false;
  }
  mode_ = Mode::kPrepared;
  file_ = open_memstream(&prepared_, &prepared_size_);
  return file_ != nullptr;
}

bool SafeFile::CommitPrepared() {
  const bool prepared = std::fclose(file_) == 0;
  file_ = nullptr;
  const int fd = target_fd_;
  target_fd_ = -1;
  if (!prepared || ftruncate(fd, 0) != 0) {
    close(fd);
    return false;
  }
  bool ok = true;
  for (size_t at = 0; ok && at < prepared_size_;) {
    const ssize_t n = pwrite(fd, prepared_ + at, prepared_size_ - at, off_t(at));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) at += size_t(n);
  }
  ok = fsync(fd) == 0 && ok;
  return close(fd) == 0 && ok;
}

bool SafeFile::Commit() {
  if (!file_) return false;
  if (mode_ == Mode::kPrepared) return CommitPrepared();
  bool written = std::fflush(file_) == 0 && !std::ferror(file_);
  // A FIFO or a device cannot be synced; a regular file must be on the disk before it replaces
  // the old one.
  if (mode_ == Mode::kReplace) written = written && fsync(fileno(file_)) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (mode_ == Mode::kInPlace) return written && closed;
  if (!written || !closed || std::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
  temporary_.clear();
  const std::string dir = DirectoryOf(target_);
  const int dfd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);  // the new name on the disk too
    close(dfd);
  }
  return true;
}

namespace {

// Reads an open file to its end into text, never more than limit bytes, and closes it.
ReadResult ReadToEnd(int fd, size_t limit, std::string& text) {
  char chunk[65536];
  ReadResult result = ReadResult::kRead;
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      result = errno == EISDIR ? ReadResult::kCannotOpen : ReadResult::kFailed;
      break;
    }
    if (text.size() + size_t(n) > limit) {
      result = ReadResult::kTooLarge;
      break;
    }
    text.append(chunk, size_t(n));
  }
  close(fd);
  if (result != ReadResult::kRead) text.clear();
  return result;
}

}  // namespace

ReadResult ReadBounded(const char* path, size_t limit, std::string& text) {
  text.clear();
  const int fd = path ? open(path, O_RDONLY | O_CLOEXEC) : -1;
  if (fd < 0) return ReadResult::kCannotOpen;
  return ReadToEnd(fd, limit, text);
}

ReadResult ReadRegularFile(const char* path, size_t limit, std::string& text) {
  text.clear();
  struct stat st {};
  if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::kCannotOpen;
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return ReadResult::kCannotOpen;
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    close(fd);
    return ReadResult::kCannotOpen;
  }
  return ReadToEnd(fd, limit, text);
}

bool CanWriteFile(const std::string& path, std::string& why) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    why = dir + ": " + (errno ? std::strerror(errno) : "not a directory");
    return false;
  }
  // A new file is written beside the old one and renamed over it: the directory must take it.
  if (access(dir.c_str(), W_OK | X_OK) != 0) {
    why = dir + ": " + std::strerror(errno);
    return false;
  }
  if (access(path.c_str(), F_OK) == 0 && access(path.c_str(), R_OK) != 0) {
    why = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::vector<std::string> DirectoryEntries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string LinkText(const std::string& path) {
  char buffer[4096];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

bool MayReadWrite(const std::string& path) { return access(path.c_str(), R_OK | W_OK) == 0; }

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

bool CreatePrivateFile(const std::string& path, const std::string& text, std::string& why) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size()) && fsync(fd) == 0;
  if (!written) why = std::strerror(errno);
  if (close(fd) != 0 && written) {
    why = std::strerror(errno);
    return false;
  }
  if (!written) unlink(path.c_str());
  return written;
}

}  // namespace platform
