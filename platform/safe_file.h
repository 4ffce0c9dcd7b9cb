// A file that replaces its target only when it was written completely: the text goes to a new
// file beside the target, which is renamed over the target after the last write and the close
// succeeded. On any failure the new file is removed and the target stays as it was.
#pragma once
#include <cstdio>
#include <string>

namespace platform {

class SafeFile {
 public:
  SafeFile() = default;
  ~SafeFile();  // removes the new file unless Commit succeeded
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  // Creates the new file beside target; false (and no file) when that fails.
  bool Open(const std::string& target);
  FILE* file() const { return file_; }
  // Closes the new file and renames it over the target; false when either failed (the new file
  // is then removed).
  bool Commit();

 private:
  std::string target_, temporary_;
  FILE* file_ = nullptr;
};

}  // namespace platform
