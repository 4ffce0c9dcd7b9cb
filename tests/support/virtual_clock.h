// The virtual clock of the tests: a pause advances it at once, so the protocol's long waits cost
// no real time.
#pragma once
#include <cstdint>

namespace testing_support {

// Switch to the virtual clock (true) or back to the system's (false).
void UseVirtualClock(bool on);
bool VirtualClockActive();
// Move the virtual clock forward without sleeping (no effect on the system's clock).
void AdvanceClock(uint32_t ms);

}  // namespace testing_support
