#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/serial_device.h"

namespace platform {
namespace {

// Per thread, since opens on different slots may run side by side; a plain array, since a
// thread-local object with a destructor would keep the library from being unloaded.
thread_local char g_open_failure[512];

}  // namespace

void SetOpenFailure(const std::string& why) {
  std::snprintf(g_open_failure, sizeof g_open_failure, "%s", why.c_str());
}
const char* LastOpenFailure() { return g_open_failure; }

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

}  // namespace platform
