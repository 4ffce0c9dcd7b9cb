#include "platform/clock.h"

#include <atomic>
#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

// Constant-initialised: the library's load notification may use the clock before any dynamic
// initialiser has run. The environment is read on the first use.
enum class Mode : uint8_t { kUnknown, kReal, kVirtual };
std::atomic<Mode> g_mode{Mode::kUnknown};
std::atomic<uint64_t> g_virtual_us{1000000000};  // a start far from 0, so that differences never go negative

bool Virtual() {
  if (g_mode.load() == Mode::kUnknown) {
    const char* v = std::getenv("KESTRAVO_VIRTUAL_CLOCK");
    Mode unknown = Mode::kUnknown;
    g_mode.compare_exchange_strong(unknown, (v && *v == '1') ? Mode::kVirtual : Mode::kReal);
  }
  return g_mode == Mode::kVirtual;
}

uint64_t RealUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

}  // namespace

void Sleep(uint32_t ms) { SleepUs(uint64_t(ms) * 1000); }

void SleepUs(uint64_t us) {
  if (Virtual()) {
    g_virtual_us += us;
    return;
  }
  timespec ts{time_t(us / 1000000), long(us % 1000000) * 1000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

uint32_t GetTickCount() { return uint32_t(TickMs()); }
uint64_t TickMs() { return ClockUs() / 1000; }
uint64_t ClockUs() { return Virtual() ? g_virtual_us.load() : RealUs(); }

void UseVirtualClock(bool on) { g_mode = on ? Mode::kVirtual : Mode::kReal; }
bool VirtualClockActive() { return Virtual(); }
void AdvanceClock(uint32_t ms) {
  if (Virtual()) g_virtual_us += uint64_t(ms) * 1000;
}

}  // namespace platform
