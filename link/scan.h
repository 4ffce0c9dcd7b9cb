// The numeric conversions of the C library's scanf family that the device replies are read with
// ("%X", "%02X", "%hX", "%08X", "%hd", ...), reproduced exactly: leading white space is skipped, an
// optional sign and, for hexadecimal, an optional 0x prefix count towards the field width, digits
// of either case are taken up to the first other character. The replies are untrusted input, so
// they are never handed to sscanf itself with a buffer that might lack its terminating NUL.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kestravo {

// Result of one conversion: ok is false when no value resulted. value is what the conversion's
// unsigned long (64 bits here) arithmetic gives, a negative number wrapped; the caller keeps the
// bits of its destination type. used counts the characters consumed, white space included.
struct Scanned {
  bool ok = false;
  uint64_t value = 0;
  size_t used = 0;
};

// base 16 ("%X") or 10 ("%u"); width 0 means no width.
Scanned ScanUnsigned(const char* text, int base, int width = 0);
// "%hd": a decimal short, as the conversion stores it.
bool ScanShort(const char* text, int16_t& out);

// Convenience forms for the common cases.
inline bool ScanHex32(const char* text, int width, uint32_t& out) {
  Scanned s = ScanUnsigned(text, 16, width);
  if (s.ok) out = uint32_t(s.value);
  return s.ok;
}
inline bool ScanHex16(const char* text, int width, uint16_t& out) {
  Scanned s = ScanUnsigned(text, 16, width);
  if (s.ok) out = uint16_t(s.value);
  return s.ok;
}

}  // namespace kestravo
