// Who uses the library's slot. A change (a set and its read-back, a configuration action) holds it
// for all its calls and waits at most for the call in progress; a reader of many values (the
// snapshot, the list of configurations, the trend) takes it one call at a time and gives way
// while a change waits.
#pragma once
#include <condition_variable>
#include <mutex>

namespace panel {

class SlotGate {
 public:
  // The slot held until this is destroyed.
  class Hold {
   public:
    explicit Hold(SlotGate* gate) : gate_(gate) {}
    Hold(Hold&& other) noexcept : gate_(other.gate_) { other.gate_ = nullptr; }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    Hold& operator=(Hold&&) = delete;
    ~Hold() {
      if (gate_) gate_->Release();
    }

   private:
    SlotGate* gate_;
  };

  Hold Change();
  Hold Call();

 private:
  void Release();

  std::mutex mutex_;
  std::condition_variable free_;
  bool held_ = false;
  int changes_waiting_ = 0;
};

}  // namespace panel
