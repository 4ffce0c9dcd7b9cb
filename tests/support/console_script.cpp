#include "tests/support/console_script.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/terminal.h"

namespace testing_support {
namespace {

class ScriptedKeys final : public platform::ConsoleInput {
 public:
  void Start(const std::vector<std::string>& chunks) {
    chunks_ = chunks;
    next_ = 0;
    offset_ = 0;
    typed_at_ = platform::GetTickCount() - 1;
  }
  long Read(unsigned char* buffer, size_t room, bool waiting) override {
    if (next_ >= chunks_.size()) return -1;
    if (!waiting && platform::GetTickCount() == typed_at_) return 0;
    const std::string& chunk = chunks_[next_];
    const size_t n = std::min(chunk.size() - offset_, room);
    std::memcpy(buffer, chunk.data() + offset_, n);
    offset_ += n;
    if (offset_ == chunk.size()) {
      ++next_;
      offset_ = 0;
    }
    typed_at_ = platform::GetTickCount();
    return long(n);
  }

 private:
  std::vector<std::string> chunks_;
  size_t next_ = 0;
  size_t offset_ = 0;  // within the next chunk, when it did not fit at once
  uint32_t typed_at_ = 0;
};

class Collected final : public platform::ConsoleOutput {
 public:
  std::string* sink = nullptr;
  void Write(const char* text, size_t n) override { sink->append(text, n); }
};

ScriptedKeys& Keys() {
  static ScriptedKeys keys;
  return keys;
}
Collected& Output() {
  static Collected output;
  return output;
}

}  // namespace

void CaptureOutput(std::string* sink) {
  Output().sink = sink;
  platform::UseConsoleOutput(sink ? &Output() : nullptr);
}

void ScriptInput(const std::vector<std::string>& chunks) {
  Keys().Start(chunks);
  platform::UseConsoleInput(&Keys());
}

}  // namespace testing_support
