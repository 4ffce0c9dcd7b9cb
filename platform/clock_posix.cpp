#include <ctime>

#include "platform/clock.h"
#include "platform/clock_system.h"

namespace platform {
namespace system_clock {

uint64_t NowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

void SleepUs(uint64_t us) {
  timespec ts{time_t(us / 1000000), long(us % 1000000) * 1000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

}  // namespace system_clock

bool LocalTime(std::time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }

}  // namespace platform
