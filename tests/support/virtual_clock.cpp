#include "tests/support/virtual_clock.h"

#include <atomic>

#include "platform/clock.h"

namespace testing_support {
namespace {

std::atomic<uint64_t> g_virtual_us{1000000000};  // a start far from 0, so that differences never go negative

uint64_t Now() { return g_virtual_us.load(); }
void Pause(uint64_t us) { g_virtual_us += us; }
constexpr platform::ClockSource kVirtual{Now, Pause};

}  // namespace

void UseVirtualClock(bool on) { platform::UseClockSource(on ? &kVirtual : nullptr); }
bool VirtualClockActive() { return !platform::SystemClockInUse(); }
void AdvanceClock(uint32_t ms) {
  if (VirtualClockActive()) g_virtual_us += uint64_t(ms) * 1000;
}

}  // namespace testing_support
