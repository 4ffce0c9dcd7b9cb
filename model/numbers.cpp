#include "model/numbers.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace model {

int ParseUnsigned(const char* text, uint32_t& value) {
  size_t len = std::strlen(text);
  if (len == 0) return kNumberEmpty;
  char last = text[len - 1];
  int radix = last == 'h' ? 16 : last == 'b' ? 2 : 10;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text, &end, radix);
  if (end == text) return kNumberInvalid;
  const char* expected_end = radix == 10 ? text + len : text + len - 1;
  if (end != expected_end) return kNumberInvalid;
  // strtoull's "-1" wraps and large values saturate: neither is a 32-bit number.
  if (errno == ERANGE || v > 0xFFFFFFFFull || std::strchr(text, '-')) return kNumberInvalid;
  value = uint32_t(v);
  return kNumberParsed;
}

}  // namespace model
