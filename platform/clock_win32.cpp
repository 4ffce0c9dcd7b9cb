#include <windows.h>

#include <atomic>

#include "platform/clock.h"

namespace platform {
namespace {

// Constant-initialised: the library's load notification may use the clock before any dynamic
// initialiser has run.
std::atomic<const ClockSource*> g_source{nullptr};

uint64_t SystemUs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  const uint64_t f = uint64_t(frequency.QuadPart), c = uint64_t(count.QuadPart);
  return c / f * 1000000u + c % f * 1000000u / f;
}

}  // namespace

void Sleep(uint32_t ms) { SleepUs(uint64_t(ms) * 1000); }

void SleepUs(uint64_t us) {
  if (const ClockSource* source = g_source.load()) return source->sleep_us(us);
  // Sleep counts whole milliseconds; the rest of a short wait is spent watching the counter.
  const uint64_t end = SystemUs() + us;
  if (us >= 2000) ::Sleep(DWORD(us / 1000 - 1));
  while (SystemUs() < end) {
    if (end - SystemUs() > 1000) ::Sleep(1);
    else SwitchToThread();
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

bool LocalTime(std::time_t t, std::tm& out) { return localtime_s(&out, &t) == 0; }

}  // namespace platform
