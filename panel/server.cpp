#include "panel/server.h"

#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "panel/http.h"
#include "platform/clock.h"
#include "platform/tcp.h"

namespace panel {
namespace {

// The connections being served, so that the end can wait for them.
struct Connections {
  std::mutex mutex;
  std::condition_variable ended;
  int active = 0;
};

// Reads one request within timeout_ms in all: 200 with the request, the status to refuse it
// with, or 0 when the connection ended or stayed silent.
int ReadRequest(int fd, Request& out, int timeout_ms) {
  RequestReader reader;
  const uint64_t deadline = platform::TickMs() + uint64_t(timeout_ms);
  char buffer[4096];
  for (;;) {
    const uint64_t now = platform::TickMs();
    if (now >= deadline) return reader.empty() ? 0 : 408;
    if (!platform::WaitReadable(fd, int(deadline - now))) continue;
    const long n = platform::TcpReceive(fd, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
    if (n < 0) return 0;
    if (const int status = reader.Add(buffer, size_t(n), out)) return status;
  }
}

// After a refusal the client may still be sending: what it sends is read and dropped for a while
// (bounded), so that closing does not reset the connection before the answer is read.
void Drain(int fd) {
  uint8_t buffer[16384];
  size_t dropped = 0;
  const uint64_t deadline = platform::TickMs() + 2000;
  while (dropped < 4 * kBodyLimit && platform::TickMs() < deadline) {
    if (!platform::WaitReadable(fd, 100)) continue;
    const long n = platform::TcpReceive(fd, buffer, sizeof buffer);
    if (n < 0) return;
    dropped += size_t(n);
  }
}

Response Refusal(int status, const char* why) {
  Response r;
  r.status = status;
  r.body = std::string("{\"error\":\"") + why + "\"}";
  return r;
}

// The answer to a whole request; a request whose handling throws is answered 500 and logged, and
// the panel goes on.
Response Answer(Panel& panel, const Request& request) {
  try {
    return Handle(panel, request);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "COM-KESTRAVO-Panel: %s %s: %s\n", request.method.c_str(), request.path.c_str(),
                 e.what());
    return Refusal(500, "the request could not be handled");
  }
}

void Serve(Panel& panel, int fd, Connections& connections) {
  Request request;
  const int status = ReadRequest(fd, request, kRequestTimeoutMs);
  if (status == 200) {
    platform::TcpSend(fd, ResponseBytes(Answer(panel, request)), kRequestTimeoutMs);
  } else if (status != 0) {
    platform::TcpSend(fd, ResponseBytes(Refusal(status, "the request was refused")), kRequestTimeoutMs);
    Drain(fd);
  }
  platform::TcpClose(fd);
  const std::lock_guard<std::mutex> lock(connections.mutex);
  --connections.active;
  connections.ended.notify_all();
}

}  // namespace

void ServeUntil(int listener, Panel& panel, const std::atomic<bool>& stop) {
  Connections connections;
  while (!stop) {
    const int fd = platform::TcpAccept(listener, 200);
    if (fd < 0) continue;
    {
      const std::lock_guard<std::mutex> lock(connections.mutex);
      if (connections.active < kMaxConnections) {
        ++connections.active;
        std::thread(Serve, std::ref(panel), fd, std::ref(connections)).detach();
        continue;
      }
    }
    platform::TcpSend(fd, ResponseBytes(Refusal(503, "too many connections")), 1000);
    platform::TcpClose(fd);
  }
  // Connections still being served end within their time limits (a memory restore under way ends
  // first): the panel they use must outlive them.
  std::unique_lock<std::mutex> lock(connections.mutex);
  connections.ended.wait(lock, [&] { return connections.active == 0; });
}

}  // namespace panel
