// COM-KESTRAVO-Panel [--listen ADDRESS] [--port N] [--allow-host NAME]... [--token-file FILE]
//                    [--log FILE] [--read-only] PORT
// Opens the device on PORT (a COM number, a device path, sim, sim:<file>, rfc2217://host:port)
// and serves its front panel to browsers on ADDRESS:N (127.0.0.1 and a free port unless told),
// behind a random access token printed with the address.
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "COM-KESTRAVO.h"
#include "model/version.h"
#include "panel/api.h"
#include "panel/options.h"
#include "panel/poller.h"
#include "panel/server.h"
#include "platform/files.h"
#include "platform/tcp.h"

namespace {

std::atomic<bool> g_stop{false};
extern "C" void OnSignal(int) { g_stop = true; }

std::string RandomToken() {
  std::random_device source;
  std::string token;
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 32; ++i) token += kHex[source() & 15];
  return token;
}

// The token kept in a file: read when the file is there (32 hexadecimal digits), else a new one
// written to a new file only its owner may read. False after a message.
bool TokenOfFile(const std::string& path, std::string& token) {
  std::string text, why;
  if (platform::Exists(path)) {
    if (platform::ReadBounded(path.c_str(), 1024, text) == platform::ReadResult::kRead) {
      while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
      if (text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos) {
        token = text;
        return true;
      }
    }
    std::fprintf(stderr, "COM-KESTRAVO-Panel: %s does not hold a token (32 hexadecimal digits)\n",
                 path.c_str());
    return false;
  }
  token = RandomToken();
  if (platform::CreatePrivateFile(path, token + "\n", why)) return true;
  std::fprintf(stderr, "COM-KESTRAVO-Panel: cannot write the token file %s: %s\n", path.c_str(), why.c_str());
  return false;
}

// The listening socket, with the warning and the address line; -1 after a message.
int Listen(const panel::Options& o, panel::Panel& p) {
  std::string why;
  const int listener = platform::TcpListen(o.address, o.port, why);
  if (listener < 0) {
    std::fprintf(stderr, "COM-KESTRAVO-Panel: cannot listen on %s:%u: %s\n", o.address.c_str(),
                 unsigned(o.port), why.c_str());
    return -1;
  }
  const uint16_t bound = platform::TcpLocalPort(listener);
  p.hosts = panel::AcceptedHosts(o.address, bound, o.allowed_hosts);
  p.cookie_name = "kestravo_token_" + std::to_string(bound);
  if (!panel::Loopback(o.address))
    std::fprintf(
        stderr,
        "COM-KESTRAVO-Panel: warning: listening on %s, not only this machine: anyone who can reach it "
        "and has the token controls the device\n",
        o.address.c_str());
  std::string shown = o.address == "0.0.0.0" || o.address == "::" ? "127.0.0.1" : o.address;
  if (shown.find(':') != std::string::npos) shown = "[" + shown + "]";
  std::printf("COM-KESTRAVO-Panel: %s on http://%s:%u/?token=%s%s\n", o.device.c_str(), shown.c_str(),
              unsigned(bound), p.token.c_str(), o.read_only ? " (read-only)" : "");
  std::fflush(stdout);
  return listener;
}

}  // namespace

int main(int argc, char** argv) {
  panel::Options options;
  if (!panel::ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "COM-KESTRAVO-Panel: %s\n", options.error.c_str());
    return panel::PrintUsage(stderr), 2;
  }
  if (options.help) return panel::PrintUsage(stdout), 0;
  if (options.version) return std::printf("%s\n", model::VersionLine("COM-KESTRAVO-Panel").c_str()), 0;

  panel::Panel p;
  p.port = options.device;
  p.read_only = options.read_only;
  p.token = RandomToken();
  if (!options.token_file.empty() && !TokenOfFile(options.token_file, p.token)) return 1;
  std::string why;
  if (!options.log_file.empty() && !p.audit.Open(options.log_file, why)) {
    std::fprintf(stderr, "COM-KESTRAVO-Panel: cannot open the log %s: %s\n", options.log_file.c_str(),
                 why.c_str());
    return 1;
  }
  if (COM_KESTRAVO_OpenPort(p.slot, options.device.c_str()) != 0) {
    std::fprintf(stderr, "COM-KESTRAVO-Panel: cannot open %s: %s\n", options.device.c_str(),
                 COM_KESTRAVO_GetErrorMessage(p.slot));
    return 1;
  }
  const int listener = Listen(options, p);
  if (listener < 0) {
    COM_KESTRAVO_Close(p.slot);
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::thread poller([&p] { panel::RunPoller(p, g_stop); });
  panel::ServeUntil(listener, p, g_stop);
  platform::TcpClose(listener);
  poller.join();
  const panel::SlotGate::Hold hold = p.gate.Change();
  COM_KESTRAVO_Close(p.slot);
  return 0;
}
