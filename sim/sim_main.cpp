// COM-KESTRAVO-Sim: the simulated device on a pseudo-terminal of its own, for programs that open
// serial ports by path, or over RFC 2217 on a TCP port. Prints the path (or address), then serves
// until SIGINT, SIGTERM or SIGHUP.
//   COM-KESTRAVO-Sim [--state FILE] [--rfc2217 PORT [--listen ADDRESS] [--idle SECONDS]]
// RFC 2217 has no authentication: the server listens on 127.0.0.1 unless told otherwise, and warns
// when told otherwise. It serves one client at a time and refuses others after a second's wait; a client
// silent for SECONDS (default 600, 0: never) is let go. With --state the device keeps its stored
// configurations and memory in FILE across runs; KESTRAVO_SIM_FAULTS injects faults as for the in-process
// device.
#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/version.h"
#include "sim/pty_server.h"
#include "sim/rfc2217_server.h"
#include "sim/sim.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

const char kUsage[] =
    "Usage: COM-KESTRAVO-Sim [--state FILE] [--rfc2217 PORT [--listen ADDRESS] [--idle SECONDS]]\n"
    "       COM-KESTRAVO-Sim --help | --version\n";

// An argument that does not parse: "COM-KESTRAVO-Sim: ARG: why", then the usage, status 2.
int Usage(const char* argument, const char* why) {
  std::fprintf(stderr, "COM-KESTRAVO-Sim: %s: %s\n", argument, why);
  std::fputs(kUsage, stderr);
  return 2;
}

// A whole decimal number from 0 to highest; false for anything else ("-5", "abc", "12x").
bool Number(const char* text, long highest, long& out) {
  if (!*text) return false;
  long v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + (*p - '0');
    if (v > highest) return false;
  }
  out = v;
  return true;
}

bool Loopback(const std::string& address) {
  return address.rfind("127.", 0) == 0 || address == "::1" || address == "localhost";
}

}  // namespace

int main(int argc, char** argv) {
  std::string state, listen = "127.0.0.1";
  long tcp_port = -1;  // -1: a pseudo-terminal
  long idle = sim::kDefaultIdleSeconds;
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", model::VersionLine("COM-KESTRAVO-Sim").c_str());
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    std::puts(
        "Serves the simulated KESTRAVO device on a pseudo-terminal (its path is printed) or, with\n"
        "--rfc2217, over RFC 2217 on a TCP port (0: any free one; the address is printed), until\n"
        "SIGINT, SIGTERM or SIGHUP. --state keeps its stored configurations and memory in FILE.");
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--state") == 0 && i + 1 < argc)
      state = argv[++i];
    else if (std::strcmp(argv[i], "--rfc2217") == 0 && i + 1 < argc) {
      if (!Number(argv[++i], 65535, tcp_port))
        return Usage(argv[i], "not a TCP port (0 to 65535)");  // 0: any
    } else if (std::strcmp(argv[i], "--listen") == 0 && i + 1 < argc) {
      listen = argv[++i];
    } else if (std::strcmp(argv[i], "--idle") == 0 && i + 1 < argc) {
      if (!Number(argv[++i], 86400 * 365, idle)) return Usage(argv[i], "not a number of seconds");
    } else {
      const bool known = std::strcmp(argv[i], "--state") == 0 || std::strcmp(argv[i], "--rfc2217") == 0 ||
                         std::strcmp(argv[i], "--listen") == 0 || std::strcmp(argv[i], "--idle") == 0;
      return Usage(argv[i], known ? "its value is missing" : "unknown option");
    }
  }
  if (tcp_port >= 0 && !Loopback(listen))
    std::fprintf(stderr,
                 "COM-KESTRAVO-Sim: warning: listening on %s: RFC 2217 has no authentication, anyone who "
                 "reaches this address drives the device\n",
                 listen.c_str());
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
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
#ifdef SIGHUP
  std::signal(SIGHUP, OnSignal);
#endif
  auto ready = [](const std::string& where) {
    std::printf("%s\n", where.c_str());
    std::fflush(stdout);
  };
  if (tcp_port >= 0)
    return sim::ServeRfc2217(device, listen, uint16_t(tcp_port), ready, g_stop, uint32_t(idle));
  return sim::ServeOnPty(device, ready, g_stop);
}
