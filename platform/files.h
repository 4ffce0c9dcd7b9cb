// Files: saving one without losing the old one, reading one with a bound, and whether one can be
// kept at a path.
//
// A save writes a new file beside the target and renames it over the target after the last write
// and the close succeeded, so that a failed save leaves the old file as it was. The replacement
// keeps what the old file was: a symbolic link is followed and the file it points to is replaced
// in its own directory; the old file's mode, owner and group are kept. A target the writer may not
// write is refused before anything is written. Where a new file cannot take the old one's place
// without changing what it is (a FIFO or a device: written in place at once; a file in a directory
// the writer may not change, a file with other hard links, or one whose owner could not be kept:
// the complete text is prepared first, then written in place), the file is written as a plain
// "w" open writes it. A directory fails to open.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

class SafeFile {
 public:
  SafeFile() = default;
  ~SafeFile();  // removes the new file unless Commit succeeded
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  // Makes ready to write target; false (nothing created or changed, errno set) when it cannot be
  // written.
  bool Open(const std::string& target);
  FILE* file() const { return file_; }
  // Finishes the file; false when a write, the close or the replacement failed (a new file is then
  // removed and the old file stays as it was, except for a target written in place).
  bool Commit();

  // The names of new files start with a dot and the target's name and carry this mark.
  static constexpr const char* kMark = ".COM-KESTRAVO-new.";

 private:
  enum class Mode { kReplace, kInPlace, kPrepared };
  bool OpenNew(const std::string& dir, const std::string& base);
  bool CommitPrepared();

  Mode mode_ = Mode::kReplace;
  std::string target_, temporary_;
  FILE* file_ = nullptr;
  char* prepared_ = nullptr;  // the text of a prepared file
  size_t prepared_size_ = 0;
  int target_fd_ = -1;  // the old file a prepared text goes into (POSIX)
  bool keep_mode_ = false;
  unsigned mode_bits_ = 0, owner_ = 0, group_ = 0;
};

// Input files of the console program (configurations, memory backups) are at most this long: a
// file of all 126 stored configurations is under 200 KiB, a memory backup under 64 KiB.
constexpr size_t kInputFileLimit = 1u << 20;

enum class ReadResult { kRead, kCannotOpen, kTooLarge, kFailed };

// Reads the file (or stream: a FIFO, a pipe) into text, never more than limit bytes: a longer one
// is kTooLarge and its text is dropped.
ReadResult ReadBounded(const char* path, size_t limit, std::string& text);
// Reads a small regular file (sysfs attributes) into text. Anything else (a FIFO, a device, a link
// to one) is never opened: kCannotOpen. The file is opened without waiting and without becoming a
// controlling terminal, and checked again once open.
ReadResult ReadRegularFile(const char* path, size_t limit, std::string& text);

// Creates a new file that only its owner may read and write (POSIX mode 0600; on Windows the
// folder's own permissions) holding text; false with the system's reason when it exists already
// or cannot be written.
bool CreatePrivateFile(const std::string& path, const std::string& text, std::string& why);

// The names in a directory (without "." and ".."), sorted; empty when it cannot be read.
std::vector<std::string> DirectoryEntries(const std::string& dir);
// The target text of a symbolic link ("" when path is none).
std::string LinkText(const std::string& path);
// Whether the user may read and write the file at path (checked by permission, never by opening it).
bool MayReadWrite(const std::string& path);
// Whether something is at path (a link that leads nowhere counts as nothing).
bool Exists(const std::string& path);

// Whether a file can be kept at path (its directory exists and takes new files); why not.
bool CanWriteFile(const std::string& path, std::string& why);

}  // namespace platform
