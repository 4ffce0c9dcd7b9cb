#include "model/memory_backup.h"

#include <cctype>

namespace model {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string BackupLines(const uint8_t* data, size_t count) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s(count * 3, '\n');
  for (size_t i = 0; i < count; ++i) {
    s[3 * i] = kHex[data[i] >> 4];
    s[3 * i + 1] = kHex[data[i] & 15];
  }
  return s;
}

// Each value: white space, then one or two hexadecimal digits; white space after the last one is
// allowed, anything else after it makes the file too long.
bool ParseBackup(const std::string& text, uint8_t* memory, bool& too_long) {
  size_t at = 0;
  for (uint32_t i = 0; i < kMemorySize; ++i) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at >= text.size() || HexDigit(text[at]) < 0) return false;
    int value = HexDigit(text[at++]);
    if (at < text.size() && HexDigit(text[at]) >= 0) value = value * 16 + HexDigit(text[at++]);
    memory[i] = uint8_t(value);
  }
  while (at < text.size() && IsBlank(text[at])) ++at;
  too_long = at < text.size();
  return true;
}

}  // namespace model
