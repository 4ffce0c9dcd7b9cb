#include <windows.h>

#include "platform/clock.h"
#include "platform/clock_system.h"

namespace platform {
namespace system_clock {

uint64_t NowUs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  const uint64_t f = uint64_t(frequency.QuadPart), c = uint64_t(count.QuadPart);
  return c / f * 1000000u + c % f * 1000000u / f;
}

void SleepUs(uint64_t us) {
  // Sleep counts whole milliseconds; the rest of a short wait is spent watching the counter.
  const uint64_t end = NowUs() + us;
  if (us >= 2000) ::Sleep(DWORD(us / 1000 - 1));
  while (NowUs() < end) {
    if (end - NowUs() > 1000) ::Sleep(1);
    else SwitchToThread();
  }
}

}  // namespace system_clock

bool LocalTime(std::time_t t, std::tm& out) { return localtime_s(&out, &t) == 0; }

}  // namespace platform
