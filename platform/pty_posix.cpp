#include "platform/pty.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

namespace platform {

PtyMaster::~PtyMaster() {
  if (fd_ >= 0) close(fd_);
}

bool PtyMaster::Open(std::string& why) {
  fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
    why = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  const char* name = ptsname(fd_);
  if (!name) {
    why = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  path_ = name;
  // The slave starts raw, so that nothing the device sends is changed before a program opens it.
  int slave = open(name, O_RDWR | O_NOCTTY);
  if (slave >= 0) {
    termios t{};
    if (tcgetattr(slave, &t) == 0) {
      cfmakeraw(&t);
      tcsetattr(slave, TCSANOW, &t);
    }
    close(slave);
  }
  return true;
}

bool PtyMaster::Read(uint8_t* buffer, size_t size, int timeout_ms, size_t& got) {
  got = 0;
  pollfd pfd{fd_, POLLIN, 0};
  const int r = poll(&pfd, 1, timeout_ms);
  if (r < 0) return errno == EINTR;
  if (r == 0) return true;
  if (pfd.revents & POLLHUP) {
    // No program holds the slave: wait a little instead of spinning on the hang-up.
    timespec ts{0, 20 * 1000000L};
    nanosleep(&ts, nullptr);
    return true;
  }
  const ssize_t n = read(fd_, buffer, size);
  if (n < 0) return errno == EAGAIN || errno == EINTR || errno == EIO;
  got = size_t(n);
  return true;
}

bool PtyMaster::Write(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t n = write(fd_, bytes, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd pfd{fd_, POLLOUT, 0};
        poll(&pfd, 1, 100);
        continue;
      }
      return false;
    }
    bytes += n;
    count -= size_t(n);
  }
  return true;
}

}  // namespace platform
