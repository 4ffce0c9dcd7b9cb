#include "device/ops.h"

namespace kestravo {

int32_t WrongArgument(uint16_t port, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Ports[port].TextV(format, args);
  va_end(args);
  return Store(port, kWrongArgument);
}

void FormatRequest(uint16_t port, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(Replies[port].text, sizeof Replies[port].text, format, args);
  va_end(args);
}

bool ReplyUsable(uint16_t port, int32_t r, uint32_t n) {
  if (r == kOk) return true;
  return r == kReceiveData && n > 0 && Replies[port].length == n && !std::memchr(Replies[port].text, 0x0D, n);
}

int32_t Exchange(uint16_t port, char letter, bool with_data, int32_t n) {
  int32_t r = with_data ? WriteCommand(port, letter, Replies[port].text) : WriteCommand(port, letter);
  if (r != kOk) return r;
  return ReadCommand(port, letter, n);
}

}  // namespace kestravo
