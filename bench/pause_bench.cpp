// The platform's pause: how long pauses of 1, 2, 5 and 10 ms last against what was asked, and the
// processor time each costs, measured in one run (built for Linux and for Windows; under Wine
// beside the Linux figures). Windows keeps a process's processor time in steps of 10 to 16 ms, far
// coarser than what a pause costs: the column is left out there rather than print noise.
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "platform/clock.h"

#ifndef _WIN32
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
#ifndef _WIN32
    const double cpu0 = ProcessorSeconds();
#endif
    const uint64_t start = platform::ClockUs();
    for (int i = 0; i < count; ++i) {
      const uint64_t t0 = platform::ClockUs();
      platform::Sleep(ms);
      const double lasted = double(platform::ClockUs() - t0);
      if (lasted > longest) longest = lasted;
    }
    const double mean = double(platform::ClockUs() - start) / count;
    std::printf("%3u ms  %5d   %8.3f              %8.3f        ", ms, count, mean / (ms * 1000.0),
                longest / (ms * 1000.0));
#ifdef _WIN32
    std::printf("       -\n");
#else
    std::printf("%8.1f us\n", (ProcessorSeconds() - cpu0) / count * 1e6);
#endif
  }
#ifdef _WIN32
  std::printf("processor time: not measured here (Windows counts it in steps of 10 to 16 ms)\n");
#endif
  return 0;
}
