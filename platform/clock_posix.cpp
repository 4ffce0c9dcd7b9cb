#include <atomic>
#include <ctime>

#include "platform/clock.h"

namespace platform {
namespace {

// Constant-initialised: the library's load notification may use the clock before any dynamic
// initialiser has run.
std::atomic<const ClockSource*> g_source{nullptr};

uint64_t SystemUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

}  // namespace

void Sleep(uint32_t ms) { SleepUs(uint64_t(ms) * 1000); }

void SleepUs(uint64_t us) {
  if (const ClockSource* source = g_source.load()) return source->sleep_us(us);
  timespec ts{time_t(us / 1000000), long(us % 1000000) * 1000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

uint64_t ClockUs() {
  const ClockSource* source = g_source.load();
  return source ? source->now_us() : SystemUs();
}
uint64_t TickMs() { return ClockUs() / 1000; }
uint32_t GetTickCount() { return uint32_t(TickMs()); }

void UseClockSource(const ClockSource* source) { g_source = source; }
bool SystemClockInUse() { return g_source.load() == nullptr; }

bool LocalTime(std::time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }

}  // namespace platform
