#include "model/profile.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "model/numbers.h"

namespace model {
namespace {

// Longest valid value of the typed getters: a 32-bit number in binary with its 'b'.
constexpr size_t kTypedValueSize = 40;

}  // namespace

ProfileFile ProfileFile::FromText(const std::string& text) {
  ProfileFile p;
  p.Split(text);
  p.open_ = true;
  p.Ok = 1;
  return p;
}

void ProfileFile::Split(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines_.push_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;  // a line end at the very end of the file starts no further line
  }
  for (size_t i = 0; i < lines_.size(); ++i)
    if (!lines_[i].empty() && lines_[i][0] == '[') headers_.push_back(i);
}

long ProfileFile::NextLine(size_t line) const {
  while (line < lines_.size() && !lines_[line].empty() && lines_[line][0] == ';') ++line;
  return line < lines_.size() ? long(line) : -1;
}

long ProfileFile::FindSection(const char* name) {
  if (cached_start_ >= 0 && cached_section_ == name) return cached_start_;
  const size_t n = std::strlen(name);
  for (size_t h : headers_) {
    const std::string& line = lines_[h];
    // The characters after '[' against the name; a line shorter than the name differs.
    if (line.compare(1, n, name) != 0 || line.size() < n + 1) continue;
    if (line.size() <= n + 1 || line[n + 1] != ']') return -1;  // a longer name: the search ends
    const long start = NextLine(h + 1);
    if (start >= 0) {
      cached_section_ = name;
      cached_start_ = start;
    }
    return start;
  }
  return -1;
}

long ProfileFile::FindEntry(long from, const char* key) const {
  const size_t n = std::strlen(key);
  for (long i = from; i >= 0 && size_t(i) < lines_.size(); i = NextLine(size_t(i) + 1)) {
    const std::string& line = lines_[size_t(i)];
    if (!line.empty() && line[0] == '[') return -1;  // the next section
    if (line.compare(0, n, key) != 0 || line.size() < n) continue;
    return (line.size() > n && line[n] == '=') ? i : -1;  // a longer key: the search ends
  }
  return -1;
}

size_t ProfileFile::GetString(const char* section, const char* key, char* buffer, size_t size) {
  Ok = 0;
  if (!open_ || size == 0) return 0;
  const long start = FindSection(section);
  const long entry = start < 0 ? -1 : FindEntry(start, key);
  if (entry < 0) return 0;
  const std::string& line = lines_[size_t(entry)];
  const size_t from = std::strlen(key) + 1;
  const size_t count = std::min(line.size() - from, size - 1);
  std::memcpy(buffer, line.data() + from, count);
  buffer[count] = 0;
  Ok = 1;
  return count;
}

bool ProfileFile::HasEntry(const char* section, const char* key) {
  return open_ && FindEntry(FindSection(section), key) >= 0;
}

size_t ProfileFile::ValueLength(const char* section, const char* key) {
  const long entry = FindEntry(FindSection(section), key);
  return entry < 0 ? 0 : lines_[size_t(entry)].size() - std::strlen(key) - 1;
}

bool ProfileFile::ValueHasNul(const char* section, const char* key) {
  const long entry = FindEntry(FindSection(section), key);
  return entry >= 0 && lines_[size_t(entry)].find('\0') != std::string::npos;
}

// A value that does not fit, or holds a zero byte (which would end it early), is no value.
bool ProfileFile::GetWhole(const char* section, const char* key, char* buffer, size_t size) {
  const size_t n = GetString(section, key, buffer, size);
  if (Ok && ((n + 1 == size && ValueLength(section, key) > n) || ValueHasNul(section, key))) Ok = 0;
  return Ok != 0;
}

bool ProfileFile::TypedValue(const char* section, const char* key, char* buffer, size_t size, bool keep) {
  const int before = Ok;
  const size_t n = GetString(section, key, buffer, size);
  if (n == 0) {  // missing or empty
    if (keep) Ok = before;
    return false;
  }
  if ((n + 1 == size && ValueLength(section, key) > n) || ValueHasNul(section, key)) {
    Ok = 0;
    return false;
  }
  return true;
}

void ProfileFile::GetUnsigned(const char* section, const char* key, uint32_t& value, bool keep) {
  char text[kTypedValueSize];
  if (!TypedValue(section, key, text, sizeof text, keep)) return;
  uint32_t v = 0;
  if (ParseUnsigned(text, v) != kNumberParsed) {
    Ok = 0;
    return;
  }
  value = v;
}

void ProfileFile::GetBool(const char* section, const char* key, uint8_t& flag, bool keep) {
  char text[kTypedValueSize];
  if (!TypedValue(section, key, text, sizeof text, keep)) return;
  if ((text[0] == 'Y' || text[0] == 'y') && text[1] == 0) {
    flag = 1;
  } else if ((text[0] == 'N' || text[0] == 'n') && text[1] == 0) {
    flag = 0;
  } else {
    Ok = 0;
  }
}

}  // namespace model
