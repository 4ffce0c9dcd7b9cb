#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

SafeFile::~SafeFile() {
  if (file_) std::fclose(file_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool SafeFile::Open(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return false;
  std::string pattern = dir + "." + base + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back(0);
  const int fd = mkstemp(name.data());
  if (fd < 0) return false;
  // mkstemp makes the file private; the saved file gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "w");
  if (!file_) {
    close(fd);
    unlink(name.data());
    return false;
  }
  target_ = target;
  temporary_ = name.data();
  return true;
}

bool SafeFile::Commit() {
  if (!file_) return false;
  const bool written = std::fflush(file_) == 0 && !std::ferror(file_) && fsync(fileno(file_)) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!written || !closed || std::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
  temporary_.clear();
  return true;
}

}  // namespace platform
