#include "panel/slot_gate.h"

namespace panel {

SlotGate::Hold SlotGate::Change() {
  std::unique_lock<std::mutex> lock(mutex_);
  ++changes_waiting_;
  free_.wait(lock, [this] { return !held_; });
  --changes_waiting_;
  held_ = true;
  return Hold(this);
}

SlotGate::Hold SlotGate::Call() {
  std::unique_lock<std::mutex> lock(mutex_);
  free_.wait(lock, [this] { return !held_ && changes_waiting_ == 0; });
  held_ = true;
  return Hold(this);
}

void SlotGate::Release() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
  }
  free_.notify_all();
}

}  // namespace panel
