// Windows has no pseudo-terminals that a program opens as a COM port: the simulated device is
// served over RFC 2217 there.
#include "platform/pty.h"

namespace platform {

PtyMaster::~PtyMaster() = default;

bool PtyMaster::Open(std::string& why) {
  why = "pseudo-terminals are not available on Windows: serve the device with --rfc2217 PORT";
  return false;
}

bool PtyMaster::Read(uint8_t*, size_t, int, size_t& got) {
  got = 0;
  return false;
}

bool PtyMaster::Write(const uint8_t*, size_t) { return false; }

}  // namespace platform
