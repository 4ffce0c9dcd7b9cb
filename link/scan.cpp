#include "link/scan.h"

#include <cctype>
#include <climits>

namespace kestravo {
namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  return v < base ? v : -1;
}

// Reads sign, prefix and digits like scanf's integer conversions. On success, magnitude is the
// saturated value of the digits and negative tells the sign.
bool ScanDigits(const char* text, int base, int width, size_t& used, uint64_t& magnitude, bool& negative,
                bool& overflow) {
  size_t i = 0;
  while (text[i] && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  size_t left = width > 0 ? size_t(width) : SIZE_MAX;
  negative = false;
  overflow = false;
  magnitude = 0;
  if (left > 0 && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
    --left;
  }
  size_t digits = 0;
  if (base == 16 && left > 0 && text[i] == '0') {
    // "0x" introduces the digits; the 0 alone is a digit too.
    ++i;
    --left;
    ++digits;
    if (left > 0 && (text[i] == 'x' || text[i] == 'X')) {
      ++i;
      --left;
    }
  }
  for (; left > 0 && DigitValue(text[i], base) >= 0; ++i, --left, ++digits) {
    uint64_t d = uint64_t(DigitValue(text[i], base));
    if (magnitude > (UINT64_MAX - d) / uint64_t(base))
      overflow = true;
    else
      magnitude = magnitude * uint64_t(base) + d;
  }
  used = i;
  return digits > 0;
}

}  // namespace

Scanned ScanUnsigned(const char* text, int base, int width) {
  Scanned s;
  uint64_t magnitude = 0;
  bool negative = false, overflow = false;
  if (!ScanDigits(text, base, width, s.used, magnitude, negative, overflow)) return s;
  s.ok = true;
  if (overflow)
    s.value = UINT64_MAX;  // strtoul saturates, also for a negative number
  else
    s.value = negative ? uint64_t(0) - magnitude : magnitude;
  return s;
}

bool ScanShort(const char* text, int16_t& out) {
  size_t used = 0;
  uint64_t magnitude = 0;
  bool negative = false, overflow = false;
  if (!ScanDigits(text, 10, 0, used, magnitude, negative, overflow)) return false;
  // strtol saturates at the limits of long, then the conversion keeps the low 16 bits
  int64_t v;
  if (overflow || magnitude > uint64_t(INT64_MAX))
    v = negative ? INT64_MIN : INT64_MAX;
  else
    v = negative ? -int64_t(magnitude) : int64_t(magnitude);
  out = int16_t(uint16_t(uint64_t(v)));
  return true;
}

}  // namespace kestravo
