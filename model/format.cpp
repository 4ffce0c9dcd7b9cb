#include "model/format.h"

#include <cstdio>

namespace model {

std::string FormatV(const char* format, va_list args) {
  char stack[512];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(stack, sizeof stack, format, copy);
  va_end(copy);
  if (n < 0) return "";
  if (size_t(n) < sizeof stack) return std::string(stack, size_t(n));
  std::string s(size_t(n) + 1, '\0');
  std::vsnprintf(s.data(), s.size(), format, args);
  s.resize(size_t(n));
  return s;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatV(format, args);
  va_end(args);
  return s;
}

}  // namespace model
