// Millisecond clock of the platform. Everything that waits or measures time goes through here, so
// that another clock can stand in for the system's (the tests run the protocol's long waits on a
// virtual clock that a pause advances at once).
#pragma once
#include <cstdint>
#include <ctime>

namespace platform {

// Pause for ms milliseconds.
void Sleep(uint32_t ms);
// Pause for us microseconds; the clock in microseconds. For waits timed by the line's characters.
void SleepUs(uint64_t us);
uint64_t ClockUs();
// Milliseconds since an arbitrary start, in 64 bits (they do not wrap); GetTickCount is their low
// 32 bits, which wrap after 49.7 days like the system's tick counter.
uint64_t TickMs();
uint32_t GetTickCount();

// A clock in place of the system's monotonic one: its time in microseconds and its pause.
struct ClockSource {
  uint64_t (*now_us)();
  void (*sleep_us)(uint64_t us);
};
// Null: the system's clock again. The source must outlive its use.
void UseClockSource(const ClockSource* source);
// True while the system's clock is in use (waits may then block in the operating system).
bool SystemClockInUse();

// The local calendar time of t (the wall clock, not the clock above); false when it has none.
bool LocalTime(std::time_t t, std::tm& out);

}  // namespace platform
