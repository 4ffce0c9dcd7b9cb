// The clock of every system: the system's own (clock_system.h) unless another stands in.
#include <atomic>

#include "platform/clock.h"
#include "platform/clock_system.h"

namespace platform {
namespace {

// Constant-initialised: the library's load notification may use the clock before any dynamic
// initialiser has run.
std::atomic<const ClockSource*> g_source{nullptr};

}  // namespace

void Sleep(uint32_t ms) { SleepUs(uint64_t(ms) * 1000); }

void SleepUs(uint64_t us) {
  if (const ClockSource* source = g_source.load()) return source->sleep_us(us);
  system_clock::SleepUs(us);
}

uint64_t ClockUs() {
  const ClockSource* source = g_source.load();
  return source ? source->now_us() : system_clock::NowUs();
}
uint64_t TickMs() { return ClockUs() / 1000; }
uint32_t GetTickCount() { return uint32_t(TickMs()); }

void UseClockSource(const ClockSource* source) { g_source = source; }
bool SystemClockInUse() { return g_source.load() == nullptr; }

}  // namespace platform
