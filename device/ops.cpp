#include "device/ops.h"

namespace kestravo {

int32_t WrongArgument(uint16_t port, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Ports[port].TextV(format, args);
  va_end(args);
  return Store(port, kWrongArgument);
}

void FormatRequest(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(ReplyBuffer, sizeof ReplyBuffer, format, args);
  va_end(args);
}

bool ReplyUsable(int32_t r, uint32_t n) {
  if (r == kOk) return true;
  return r == kReceiveData && n > 0 && ReplyLength == n && !std::memchr(ReplyBuffer, 0x0D, n);
}

int32_t Exchange(uint16_t port, char letter, bool with_data, int32_t n) {
  int32_t r = with_data ? WriteCommand(port, letter, ReplyBuffer) : WriteCommand(port, letter);
  if (r != kOk) return r;
  return ReadCommand(port, letter, n);
}

}  // namespace kestravo
