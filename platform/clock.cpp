#include "platform/clock.h"

#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

bool g_virtual = false;
uint64_t g_virtual_ms = 1000000;  // a start far from 0, so that differences never go negative

bool VirtualFromEnvironment() {
  const char* v = std::getenv("KESTRAVO_VIRTUAL_CLOCK");
  return v && *v == '1';
}

uint64_t RealMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

struct Init {
  Init() { g_virtual = VirtualFromEnvironment(); }
} g_init;

}  // namespace

void Sleep(uint32_t ms) {
  if (g_virtual) {
    g_virtual_ms += ms;
    return;
  }
  timespec ts{time_t(ms / 1000), long(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

uint32_t GetTickCount() { return uint32_t(g_virtual ? g_virtual_ms : RealMs()); }

void UseVirtualClock(bool on) { g_virtual = on; }
bool VirtualClockActive() { return g_virtual; }
void AdvanceClock(uint32_t ms) {
  if (g_virtual) g_virtual_ms += ms;
}

}  // namespace platform
