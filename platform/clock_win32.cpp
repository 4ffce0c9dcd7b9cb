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

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

void SleepUs(uint64_t us) {
  // A waitable timer of high resolution (Windows 10 1803 on) ends a pause on time without
  // spinning; Sleep alone lasts a whole tick of the system clock (15.6 ms by default). Where the
  // system has no such timer, a plain one, and failing that Sleep, waits instead: never a spin.
  HANDLE timer =
      CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  if (!timer) timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  if (timer) {
    LARGE_INTEGER due;
    due.QuadPart = -LONGLONG(us * 10);  // relative, in units of 100 ns
    const bool waited = SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
                        WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
    CloseHandle(timer);
    if (waited) return;
  }
  ::Sleep(DWORD((us + 999) / 1000));
}

}  // namespace system_clock

bool LocalTime(std::time_t t, std::tm& out) { return localtime_s(&out, &t) == 0; }

}  // namespace platform
