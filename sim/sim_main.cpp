// COM-KESTRAVO-Sim: the simulated device on a pseudo-terminal of its own, for programs that open
// serial ports by path, or over RFC 2217 on a TCP port. Prints the path (or address), then serves
// until SIGINT, SIGTERM or SIGHUP.
//   COM-KESTRAVO-Sim [--state FILE] [--rfc2217 PORT [--listen ADDRESS]]
// RFC 2217 has no authentication: the server listens on 127.0.0.1 unless told otherwise.
// With --state the device keeps its stored configurations and memory in FILE across runs;
// KESTRAVO_SIM_FAULTS injects faults as for the in-process device.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/pty_server.h"
#include "sim/rfc2217_server.h"
#include "sim/sim.h"

namespace {

bool g_stop = false;
void OnSignal(int) { g_stop = true; }

int Usage() {
  std::fprintf(stderr, "Usage: COM-KESTRAVO-Sim [--state FILE] [--rfc2217 PORT [--listen ADDRESS]]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string state, listen = "127.0.0.1";
  long tcp_port = -1;  // -1: a pseudo-terminal
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--state") == 0 && i + 1 < argc)
      state = argv[++i];
    else if (std::strcmp(argv[i], "--rfc2217") == 0 && i + 1 < argc)
      tcp_port = std::strtol(argv[++i], nullptr, 10);
    else if (std::strcmp(argv[i], "--listen") == 0 && i + 1 < argc)
      listen = argv[++i];
    else
      return Usage();
  }
  if (tcp_port > 65535) return Usage();  // 0: any free port, printed
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
  auto ready = [](const std::string& where) {
    std::printf("%s\n", where.c_str());
    std::fflush(stdout);
  };
  if (tcp_port >= 0) return sim::ServeRfc2217(device, listen, uint16_t(tcp_port), ready, g_stop);
  return sim::ServeOnPty(device, ready, g_stop);
}
