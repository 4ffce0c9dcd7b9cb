// COM-KESTRAVO-Sim: the simulated device on a pseudo-terminal of its own, for programs that open
// serial ports by path. Prints the path, then serves until SIGINT, SIGTERM or SIGHUP.
//   COM-KESTRAVO-Sim [--state FILE]
// With --state the device keeps its stored configurations and memory in FILE across runs;
// KESTRAVO_SIM_FAULTS injects faults as for the in-process device.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/pty_server.h"
#include "sim/sim.h"

namespace {

bool g_stop = false;
void OnSignal(int) { g_stop = true; }

int Usage() {
  std::fprintf(stderr, "Usage: COM-KESTRAVO-Sim [--state FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string state;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--state") == 0 && i + 1 < argc)
      state = argv[++i];
    else
      return Usage();
  }
  sim::Device device(state);
  std::string error;
  if (!device.Init(error)) {
    std::fprintf(stderr, "COM-KESTRAVO-Sim: %s\n", error.c_str());
    return 1;
  }
  if (const char* faults = std::getenv("KESTRAVO_SIM_FAULTS");
      faults && !sim::ParseFaults(faults, device.faults)) {
    std::fprintf(stderr, "COM-KESTRAVO-Sim: cannot read KESTRAVO_SIM_FAULTS='%s'\n", faults);
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
  return sim::ServeOnPty(
      device,
      [](const std::string& path) {
        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
      },
      g_stop);
}
