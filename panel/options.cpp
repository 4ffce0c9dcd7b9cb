#include "panel/options.h"

#include <cstdio>
#include <cstdlib>

namespace panel {

void PrintUsage(std::FILE* out) {
  std::fprintf(
      out,
      "Usage: COM-KESTRAVO-Panel [--listen ADDRESS] [--port N] [--allow-host NAME]... [--read-only] PORT\n"
      "       COM-KESTRAVO-Panel --help | --version\n"
      "  PORT: a COM number, a device path, sim, sim:<file> or rfc2217://host:port\n"
      "  ADDRESS: 127.0.0.1 (default), localhost, ::1, another address of this machine, or 0.0.0.0 / ::\n"
      "  --allow-host NAME: a further name browsers use to reach the panel (not on the loopback)\n");
}

bool ParseOptions(int argc, char** argv, Options& out) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--listen" && i + 1 < argc) {
      out.address = argv[++i];
    } else if (a == "--port" && i + 1 < argc) {
      char* end = nullptr;
      const long port = std::strtol(argv[++i], &end, 10);
      if (*end || port < 0 || port > 65535)
        return out.error = std::string(argv[i]) + ": not a TCP port (0 to 65535)", false;
      out.port = uint16_t(port);
    } else if (a == "--allow-host" && i + 1 < argc) {
      out.allowed_hosts.push_back(argv[++i]);
    } else if (a == "--token-file" && i + 1 < argc) {
      out.token_file = argv[++i];
    } else if (a == "--log" && i + 1 < argc) {
      out.log_file = argv[++i];
    } else if (a == "--read-only") {
      out.read_only = true;
    } else if (a == "--help" || a == "-h") {
      out.help = true;
      return true;
    } else if (a == "--version") {
      out.version = true;
      return true;
    } else if (!a.empty() && a[0] != '-' && out.device.empty()) {
      out.device = a;
    } else {
      const bool known =
          a == "--listen" || a == "--port" || a == "--allow-host" || a == "--token-file" || a == "--log";
      out.error = a + (a.empty() || a[0] != '-' ? ": a second port"
                       : known                  ? ": its value is missing"
                                                : ": unknown option");
      return false;
    }
  }
  if (out.device.empty()) out.error = "PORT: missing";
  return !out.device.empty();
}

}  // namespace panel
