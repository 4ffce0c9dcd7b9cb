#include "platform/clock.h"

#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

// Constant-initialised: the library's load notification may use the clock before any dynamic
// initialiser has run. The environment is read on the first use.
enum class Mode : uint8_t { kUnknown, kReal, kVirtual };
Mode g_mode = Mode::kUnknown;
uint64_t g_virtual_ms = 1000000;  // a start far from 0, so that differences never go negative

bool Virtual() {
  if (g_mode == Mode::kUnknown) {
    const char* v = std::getenv("KESTRAVO_VIRTUAL_CLOCK");
    g_mode = (v && *v == '1') ? Mode::kVirtual : Mode::kReal;
  }
  return g_mode == Mode::kVirtual;
}

uint64_t RealMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

}  // namespace

void Sleep(uint32_t ms) {
  if (Virtual()) {
    g_virtual_ms += ms;
    return;
  }
  timespec ts{time_t(ms / 1000), long(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

uint32_t GetTickCount() { return uint32_t(TickMs()); }
uint64_t TickMs() { return Virtual() ? g_virtual_ms : RealMs(); }

void UseVirtualClock(bool on) { g_mode = on ? Mode::kVirtual : Mode::kReal; }
bool VirtualClockActive() { return Virtual(); }
void AdvanceClock(uint32_t ms) {
  if (Virtual()) g_virtual_ms += ms;
}

}  // namespace platform
