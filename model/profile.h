// Reads sectioned text files of "[Section]" headers and "Key=Value" lines, entry by entry.
//
// Lookups follow these rules exactly: section names and keys are compared case-sensitively and
// blanks count; a header line may carry text after its ']'; the first of two sections or entries
// of the same name is used; a header whose name begins with the wanted name and goes on (meeting
// [Configuration12] while looking for Configuration1) ends the search for that section, and so does
// an entry whose key begins with the wanted key and goes on; a header on the last line of the file,
// or followed only by comments, counts as absent; lines with ';' in column 1 are comments; lines end
// at CR, LF or CR LF.
//
// The file is read once, by its caller, and its lines are looked up in memory, so that a file of
// 126 configurations reads in a few milliseconds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace model {

class ProfileFile {
 public:
  // A file that could not be read: every lookup fails.
  ProfileFile() = default;
  // The file's text, as read.
  static ProfileFile FromText(const std::string& text);

  // Outcome of the last operation: 1 success, 0 failure.
  int Ok = 0;

  // Copies the value (at most size - 1 characters, always terminated); returns the number of
  // characters stored. Not found: 0, Ok 0, buffer untouched. An empty value: 0 with Ok 1.
  size_t GetString(const char* section, const char* key, char* buffer, size_t size);
  // The typed getters: the value must fill the whole entry. A value longer than any valid one, a
  // missing entry or an empty value leaves the output untouched (Ok as GetString left it, or as
  // it was before when keepStatusIfMissing is set and the entry is missing or empty).
  void GetUnsigned(const char* section, const char* key, uint32_t& value, bool keepStatusIfMissing = false);
  void GetBool(const char* section, const char* key, uint8_t& flag, bool keepStatusIfMissing = false);
  // The whole value into buffer: false (Ok 0) when the entry is missing, or when the value is
  // longer than size - 1 characters or holds a zero byte (a value cut short could read as another
  // one); an empty value gives true with Ok 1. The typed getters refuse such values too.
  bool GetWhole(const char* section, const char* key, char* buffer, size_t size);
  // True when the entry exists in the section (its value may be empty).
  bool HasEntry(const char* section, const char* key);

 private:
  void Split(const std::string& text);
  // The line after the header of the section, or -1 when the section counts as absent.
  long FindSection(const char* name);
  // The line of the entry in the section starting at line `from`, or -1.
  long FindEntry(long from, const char* key) const;
  // The first non-comment line at or after `line`, or -1 at the end of the file.
  long NextLine(size_t line) const;
  // Reads the value into buffer for the typed getters; false when it is missing, empty or too long.
  bool TypedValue(const char* section, const char* key, char* buffer, size_t size, bool keep);
  // The length of the value of an entry that exists.
  size_t ValueLength(const char* section, const char* key);
  // True when the value of the entry holds a zero byte.
  bool ValueHasNul(const char* section, const char* key);

  bool open_ = false;
  std::vector<std::string> lines_;
  std::vector<size_t> headers_;  // lines that begin with '['
  std::string cached_section_;   // the last section looked up, and where it starts
  long cached_start_ = -1;
};

}  // namespace model
