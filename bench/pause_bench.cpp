// The platform's pause: how long pauses of 1, 2, 5 and 10 ms last against what was asked, and the
// processor time each costs, measured in one run (built for Linux and for Windows; under Wine
// beside the Linux figures).
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "platform/clock.h"

#ifdef _WIN32
#include <windows.h>
static double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
  };
  return seconds(kernel) + seconds(user);
}
#else
#include <ctime>
static double ProcessorSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
#endif

int main() {
  std::printf("pause   count   lasted/asked (mean)   longest/asked   processor time per pause\n");
  for (uint32_t ms : {1u, 2u, 5u, 10u}) {
    const int count = ms <= 2 ? 500 : 100;
    double longest = 0;
    const double cpu0 = ProcessorSeconds();
    const uint64_t start = platform::ClockUs();
    for (int i = 0; i < count; ++i) {
      const uint64_t t0 = platform::ClockUs();
      platform::Sleep(ms);
      const double lasted = double(platform::ClockUs() - t0);
      if (lasted > longest) longest = lasted;
    }
    const double mean = double(platform::ClockUs() - start) / count;
    const double cpu = ProcessorSeconds() - cpu0;
    std::printf("%3u ms  %5d   %8.3f              %8.3f        %8.1f us\n", ms, count, mean / (ms * 1000.0),
                longest / (ms * 1000.0), cpu / count * 1e6);
  }
  return 0;
}
