// What the clock needs of the operating system, one implementation per system
// (clock_posix.cpp: CLOCK_MONOTONIC and nanosleep; clock_win32.cpp: QueryPerformanceCounter and Sleep).
#pragma once
#include <cstdint>

namespace platform {
namespace system_clock {

// The system's monotonic clock in microseconds, and a pause on it.
uint64_t NowUs();
void SleepUs(uint64_t us);

}  // namespace system_clock
}  // namespace platform
