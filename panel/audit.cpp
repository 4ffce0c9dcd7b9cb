#include "panel/audit.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace panel {

bool AuditLog::Open(const std::string& path, std::string& why) {
  file_ = std::fopen(path.c_str(), "a");
  if (!file_) why = std::strerror(errno);
  return file_ != nullptr;
}

AuditLog::~AuditLog() {
  if (file_) std::fclose(file_);
}

void AuditLog::Add(const std::string& client, const std::string& what) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const std::time_t now = std::time(nullptr);
  char when[32] = "";
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  const std::string line = std::string(when) + " " + (client.empty() ? "-" : client) + " " + what;
  last_.push_back(line);
  if (last_.size() > kKept) last_.pop_front();
  if (file_) {
    std::fprintf(file_, "%s\n", line.c_str());
    std::fflush(file_);
  }
}

std::vector<std::string> AuditLog::Last() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return {last_.begin(), last_.end()};
}

}  // namespace panel
