// COM-KESTRAVO-Panel [--listen ADDRESS] [--port N] [--read-only] PORT
// Opens the device on PORT (a COM number, a device path, sim, sim:<file>, rfc2217://host:port)
// and serves its front panel to browsers on ADDRESS:N (127.0.0.1 and a free port unless told),
// behind a random access token printed with the address.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "COM-KESTRAVO.h"
#include "panel/api.h"
#include "panel/http.h"
#include "platform/clock.h"
#include "platform/tcp.h"

namespace {

std::atomic<bool> g_stop{false};
extern "C" void OnSignal(int) { g_stop = true; }

constexpr int kMaxConnections = 32;      // more at once are answered 503 and closed
constexpr int kRequestTimeoutMs = 5000;  // a request must arrive whole within this
constexpr int kPollIntervalMs = 1000;

int Usage() {
  std::fprintf(stderr,
               "Usage: COM-KESTRAVO-Panel [--listen ADDRESS] [--port N] [--read-only] PORT\n"
               "  PORT: a COM number, a device path, sim, sim:<file> or rfc2217://host:port\n");
  return 2;
}

std::string RandomToken() {
  std::random_device source;
  std::string token;
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 32; ++i) token += kHex[source() & 15];
  return token;
}

bool Loopback(const std::string& address) {
  return address == "127.0.0.1" || address == "::1" || address == "localhost";
}

// After a refusal the client may still be sending: what it sends is read and dropped for a while
// (bounded), so that closing does not reset the connection before the answer is read.
void Drain(int fd) {
  uint8_t buffer[16384];
  size_t dropped = 0;
  const uint64_t deadline = platform::TickMs() + 2000;
  while (dropped < 4 * panel::kBodyLimit && platform::TickMs() < deadline) {
    if (!platform::WaitReadable(fd, 100)) continue;
    const long n = platform::TcpReceive(fd, buffer, sizeof buffer);
    if (n < 0) return;
    dropped += size_t(n);
  }
}

void Serve(panel::Panel& p, int fd, std::atomic<int>& active) {
  panel::Request request;
  const panel::ReadResult read = panel::ReadRequest(fd, request, kRequestTimeoutMs);
  panel::Response response;
  if (read.ok) {
    response = panel::Handle(p, request);
  } else if (read.status) {
    response.status = read.status;
    response.body = "{\"error\":\"the request was refused\"}";
  }
  if (read.ok || read.status) platform::TcpSend(fd, panel::ResponseBytes(response), kRequestTimeoutMs);
  if (!read.ok && read.status) Drain(fd);
  platform::TcpClose(fd);
  --active;
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1", port_name;
  long port = 0;
  bool read_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--listen" && i + 1 < argc) {
      address = argv[++i];
    } else if (a == "--port" && i + 1 < argc) {
      char* end = nullptr;
      port = std::strtol(argv[++i], &end, 10);
      if (*end || port < 0 || port > 65535) return Usage();
    } else if (a == "--read-only") {
      read_only = true;
    } else if (a == "--help" || a == "-h") {
      Usage();
      return 0;
    } else if (!a.empty() && a[0] != '-' && port_name.empty()) {
      port_name = a;
    } else {
      return Usage();
    }
  }
  if (port_name.empty()) return Usage();

  panel::Panel p;
  p.port = port_name;
  p.read_only = read_only;
  p.token = RandomToken();
  if (COM_KESTRAVO_OpenPort(p.slot, port_name.c_str()) != 0) {
    std::fprintf(stderr, "COM-KESTRAVO-Panel: cannot open %s: %s\n", port_name.c_str(),
                 COM_KESTRAVO_GetErrorMessage(p.slot));
    return 1;
  }
  std::string why;
  const int listener = platform::TcpListen(address, uint16_t(port), why);
  if (listener < 0) {
    std::fprintf(stderr, "COM-KESTRAVO-Panel: cannot listen on %s:%ld: %s\n", address.c_str(), port,
                 why.c_str());
    COM_KESTRAVO_Close(p.slot);
    return 1;
  }
  const uint16_t bound = platform::TcpLocalPort(listener);
  p.hosts = panel::AcceptedHosts(address, bound);
  if (!Loopback(address))
    std::fprintf(
        stderr,
        "COM-KESTRAVO-Panel: warning: listening on %s, not only this machine: anyone who can reach it and "
        "has the token controls the device\n",
        address.c_str());
  const std::string shown = address == "0.0.0.0" || address == "::" ? "127.0.0.1" : address;
  std::printf("COM-KESTRAVO-Panel: %s on http://%s:%u/?token=%s%s\n", port_name.c_str(), shown.c_str(),
              unsigned(bound), p.token.c_str(), read_only ? " (read-only)" : "");
  std::fflush(stdout);

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::thread poller([&p] {
    uint64_t next = 0, next_sample = platform::TickMs();
    while (!g_stop) {
      const uint64_t now = platform::TickMs();
      const bool asked = p.refresh.exchange(false);
      if (now >= next || asked) {
        panel::Poll(p);
        next = now + kPollIntervalMs;
      }
      if (platform::TickMs() >= next_sample) {
        // A fixed schedule, as the data log keeps; a line too slow for it samples as often as it can.
        panel::SampleTrend(p);
        next_sample += panel::kTrendIntervalMs;
        if (next_sample < platform::TickMs()) next_sample = platform::TickMs() + panel::kTrendIntervalMs;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  std::atomic<int> active{0};
  while (!g_stop) {
    const int fd = platform::TcpAccept(listener, 200);
    if (fd < 0) continue;
    if (active >= kMaxConnections) {
      panel::Response busy;
      busy.status = 503;
      busy.body = "{\"error\":\"too many connections\"}";
      platform::TcpSend(fd, panel::ResponseBytes(busy), 1000);
      platform::TcpClose(fd);
      continue;
    }
    ++active;
    std::thread(Serve, std::ref(p), fd, std::ref(active)).detach();
  }
  platform::TcpClose(listener);
  poller.join();
  // Connections still being served end within their time limits (a memory restore under way ends
  // first): the panel they use must outlive them.
  while (active > 0) std::this_thread::sleep_for(std::chrono::milliseconds(60));
  {
    const std::unique_lock<std::mutex> lock = p.gate.Change();
    COM_KESTRAVO_Close(p.slot);
  }
  return 0;
}
