// A long operation under way on the device (a memory restore, an upload of stored
// configurations): what it is and how far it got. While one runs, other requests that need the
// device are refused at once instead of waiting up to a minute for the slot.
#pragma once
#include <atomic>
#include <cstdint>

namespace panel {

struct Busy {
  std::atomic<const char*> what{nullptr};  // "memory restore", ...; null when none runs
  std::atomic<uint32_t> done{0}, total{0};
};

// Holds the mark of one long operation for its lifetime; taken() is false when another one runs.
class BusyScope {
 public:
  BusyScope(Busy& busy, const char* what, uint32_t total) : busy_(busy) {
    const char* none = nullptr;
    if (!busy_.what.compare_exchange_strong(none, what)) return;
    busy_.done = 0;
    busy_.total = total;
    taken_ = true;
  }
  ~BusyScope() {
    if (taken_) busy_.what = nullptr;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  bool taken() const { return taken_; }

 private:
  Busy& busy_;
  bool taken_ = false;
};

}  // namespace panel
