// JSON text as the programs write it for scripts: one object on one line, its members in the
// order they were added. Numbers stay numbers (a value that is no finite number is null), texts
// are escaped, and bytes that are no UTF-8 become U+FFFD, so that every line parses.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace model {

// A JSON string: quoted, with '"', '\' and control characters escaped.
std::string JsonString(std::string_view utf8);
// A JSON number: the shortest of up to 15 significant digits; null for infinities and NaN.
std::string JsonNumber(double value);

class JsonArray;

class JsonObject {
 public:
  JsonObject& Number(const char* key, double value);
  JsonObject& Integer(const char* key, int64_t value);
  JsonObject& Bool(const char* key, bool value);
  JsonObject& Text(const char* key, std::string_view utf8);
  JsonObject& Object(const char* key, const JsonObject& value);
  JsonObject& Array(const char* key, const JsonArray& value);
  // The members of another object, after these.
  JsonObject& Members(const JsonObject& other);
  bool empty() const { return members_.empty(); }
  // The object: "{...}".
  std::string Json() const { return "{" + members_ + "}"; }

 private:
  JsonObject& Member(const char* key, const std::string& json);
  std::string members_;
};

class JsonArray {
 public:
  JsonArray& Number(double value) { return Item(JsonNumber(value)); }
  JsonArray& Integer(int64_t value) { return Item(std::to_string(value)); }
  JsonArray& Text(std::string_view utf8) { return Item(JsonString(utf8)); }
  JsonArray& Object(const JsonObject& value) { return Item(value.Json()); }
  bool empty() const { return items_.empty(); }
  std::string Json() const { return "[" + items_ + "]"; }

 private:
  JsonArray& Item(const std::string& json);
  std::string items_;
};

}  // namespace model
