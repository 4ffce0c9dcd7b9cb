#include "model/json_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace model {
namespace {

// The length of the UTF-8 sequence at text[i], or 0 when the bytes there are none.
size_t Utf8Length(std::string_view text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  size_t n = 0;
  uint32_t code = 0;
  if (c >= 0xC2 && c <= 0xDF)
    n = 2, code = c & 0x1Fu;
  else if (c >= 0xE0 && c <= 0xEF)
    n = 3, code = c & 0x0Fu;
  else if (c >= 0xF0 && c <= 0xF4)
    n = 4, code = c & 0x07u;
  else
    return 0;
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const unsigned char d = static_cast<unsigned char>(text[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    code = code << 6 | (d & 0x3Fu);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are no characters.
  if ((n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return n;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t n = Utf8Length(text, i);
      out += n ? std::string(text.substr(i, n)) : std::string("\xEF\xBF\xBD");
      i += n ? n : 1;
      continue;
    }
    ++i;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", unsigned(c));
      out += escape;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

std::string JsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  // Whole numbers as integers (48000000, not 4.8e+07), where a double holds them exactly.
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(text, sizeof text, "%.0f", value == 0 ? 0.0 : value);
    return text;
  }
  // The fewest digits that read back as the same double, up to 15: 12.018, not 12.0180000000000007.
  for (int digits = 1; digits <= 15; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

JsonObject& JsonObject::Member(const char* key, const std::string& json) {
  if (!members_.empty()) members_ += ",";
  members_ += JsonString(key) + ":" + json;
  return *this;
}

JsonObject& JsonObject::Number(const char* key, double value) { return Member(key, JsonNumber(value)); }
JsonObject& JsonObject::Integer(const char* key, int64_t value) { return Member(key, std::to_string(value)); }
JsonObject& JsonObject::Bool(const char* key, bool value) { return Member(key, value ? "true" : "false"); }
JsonObject& JsonObject::Text(const char* key, std::string_view utf8) { return Member(key, JsonString(utf8)); }
JsonObject& JsonObject::Object(const char* key, const JsonObject& value) { return Member(key, value.Json()); }
JsonObject& JsonObject::Array(const char* key, const JsonArray& value) { return Member(key, value.Json()); }

JsonObject& JsonObject::Members(const JsonObject& other) {
  if (!members_.empty() && !other.members_.empty()) members_ += ",";
  members_ += other.members_;
  return *this;
}

JsonArray& JsonArray::Item(const std::string& json) {
  if (!items_.empty()) items_ += ",";
  items_ += json;
  return *this;
}

}  // namespace model
