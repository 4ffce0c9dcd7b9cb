#include "model/cp1252.h"

namespace model {
namespace {

const uint16_t kHighCodes[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte of one character; false for a character Windows-1252 does not hold.
bool ByteOf(uint32_t c, char& byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return byte = char(c), true;
  for (int k = 0; k < 32; ++k)
    if (kHighCodes[k] == c) return byte = char(0x80 + k), true;
  return false;
}

}  // namespace

std::string Utf8FromCp1252(const uint8_t* bytes, size_t size) {
  std::string text;
  for (size_t i = 0; i < size && bytes[i]; ++i) {
    const uint32_t c = bytes[i] >= 0x80 && bytes[i] < 0xA0 ? kHighCodes[bytes[i] - 0x80] : bytes[i];
    if (c < 0x80) {
      text += char(c);
    } else if (c < 0x800) {
      text += char(0xC0 | (c >> 6));
      text += char(0x80 | (c & 0x3F));
    } else {
      text += char(0xE0 | (c >> 12));
      text += char(0x80 | ((c >> 6) & 0x3F));
      text += char(0x80 | (c & 0x3F));
    }
  }
  return text;
}

bool Cp1252FromUtf8(const std::string& text, std::string& bytes) {
  for (size_t i = 0; i < text.size();) {
    const uint8_t lead = uint8_t(text[i]);
    const size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t c = length == 1 ? lead : lead & (length == 2 ? 0x1F : 0x0F);
    for (size_t k = 1; k < length; ++k) {
      const uint8_t next = uint8_t(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    char byte = 0;
    if (!ByteOf(c, byte)) return false;
    bytes += byte;
    i += length;
  }
  return true;
}

}  // namespace model
