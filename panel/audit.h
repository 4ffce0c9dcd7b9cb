// The panel's record of every change made through it: the time, the client's address and what
// changed (a setting old -> new, or an action), appended to the file named with --log and kept
// for the page (the last 20 lines).
#pragma once
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace panel {

class AuditLog {
 public:
  // Appends to path from now on; false with the reason when it cannot be opened.
  bool Open(const std::string& path, std::string& why);
  ~AuditLog();
  // One line: "<date> <time> <client> <what>".
  void Add(const std::string& client, const std::string& what);
  // The last lines, oldest first.
  std::vector<std::string> Last() const;

  static constexpr size_t kKept = 20;

 private:
  mutable std::mutex mutex_;
  FILE* file_ = nullptr;
  std::deque<std::string> last_;
};

}  // namespace panel
