// Millisecond clock of the platform. Everything that waits or measures time goes through here,
// so that tests can switch to a virtual clock in which a sleep advances time at once.
#pragma once
#include <cstdint>

namespace platform {

// Pause for ms milliseconds (on the virtual clock: advance it by ms).
void Sleep(uint32_t ms);
// Pause for us microseconds; the clock in microseconds. For waits timed by the line's characters.
void SleepUs(uint64_t us);
uint64_t ClockUs();
// Milliseconds since an arbitrary start; wraps like a 32-bit tick counter.
uint32_t GetTickCount();
// Milliseconds since an arbitrary start, monotonic, never wrapping: for deadlines.
uint64_t TickMs();

// Switch to the virtual clock (true) or back to the real one (false).
void UseVirtualClock(bool on);
bool VirtualClockActive();
// Move the virtual clock forward without sleeping (no effect on the real clock).
void AdvanceClock(uint32_t ms);

}  // namespace platform
