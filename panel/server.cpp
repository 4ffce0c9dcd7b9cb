#include "panel/server.h"

#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "panel/http.h"
#include "platform/clock.h"
#include "platform/tcp.h"

namespace panel {
namespace {

// The threads at work, so that the end can wait for them: the handlers of admitted requests (at
// most kMaxConnections) and the drains after refusals (at most as many).
struct Workers {
  std::mutex mutex;
  std::condition_variable ended;
  int handlers = 0, drains = 0;

  // Counts one more of a kind when there is room.
  bool Take(int& count) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (count >= kMaxConnections) return false;
    ++count;
    return true;
  }
  void Give(int& count) {
    const std::lock_guard<std::mutex> lock(mutex);
    --count;
    ended.notify_all();
  }
};

// A connection whose request is still arriving.
struct Pending {
  int fd;
  uint64_t accepted_ms;
  RequestReader reader;
  Request request;
};

Response Refusal(int status, const char* why) {
  Response r;
  r.status = status;
  r.body = std::string("{\"error\":\"") + why + "\"}";
  return r;
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

// The answer to an admitted request; a request whose handling throws is answered 500 and logged,
// and the panel goes on.
Response Answer(Panel& panel, const Request& request) {
  try {
    return Handle(panel, request);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "COM-KESTRAVO-Panel: %s %s: %s\n", request.method.c_str(), request.path.c_str(),
                 e.what());
    return Refusal(500, "the request could not be handled");
  }
}

// A refusal, sent at once; what the client still sends is drained by a thread of its own while
// there is room for one.
void Refuse(int fd, const Response& response, Workers& workers, bool drain) {
  platform::TcpSend(fd, ResponseBytes(response), 200);
  if (drain && workers.Take(workers.drains)) {
    std::thread([fd, &workers] {
      Drain(fd);
      platform::TcpClose(fd);
      workers.Give(workers.drains);
    }).detach();
    return;
  }
  platform::TcpClose(fd);
}

// A whole request: refused at once when it is not admitted (that needs neither the device nor a
// handler, so a client without the token never holds one), else handled by a thread of its own.
void Dispatch(Panel& panel, int fd, const Request& request, Workers& workers) {
  if (Result admitted = Admitted(panel, request); !admitted.ok()) {
    Response r = Refusal(admitted.status, "");
    r.body = Json{{"error", admitted.error}}.dump();
    return Refuse(fd, r, workers, false);
  }
  if (!workers.Take(workers.handlers))
    return Refuse(fd, Refusal(503, "too many connections"), workers, false);
  std::thread([&panel, fd, request, &workers] {
    platform::TcpSend(fd, ResponseBytes(Answer(panel, request)), kRequestTimeoutMs);
    platform::TcpClose(fd);
    workers.Give(workers.handlers);
  }).detach();
}

// Reads what a readable connection has; true when it is done with (answered or closed).
bool Receive(Panel& panel, Pending& p, Workers& workers) {
  char buffer[4096];
  const long n = platform::TcpReceive(p.fd, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
  if (n < 0) {
    platform::TcpClose(p.fd);
    return true;
  }
  const int status = p.reader.Add(buffer, size_t(n), p.request);
  if (status == 0) return false;
  if (status == 200)
    Dispatch(panel, p.fd, p.request, workers);
  else
    Refuse(p.fd, Refusal(status, "the request was refused"), workers, true);
  return true;
}

// A connection too slow with its head (2 s) or its whole request (5 s) is answered 408 and closed.
bool Expired(const Pending& p, uint64_t now, Workers& workers) {
  const uint64_t age = now - p.accepted_ms;
  if (age < uint64_t(p.reader.head_read() ? kRequestTimeoutMs : kHeadTimeoutMs)) return false;
  if (p.reader.empty())
    platform::TcpClose(p.fd);
  else
    Refuse(p.fd, Refusal(408, "the request was refused"), workers, false);
  return true;
}

void AcceptAll(int listener, std::vector<Pending>& pending) {
  for (int k = 0; k < 64; ++k) {
    const int fd = platform::TcpAccept(listener, 0);
    if (fd < 0) return;
    if (pending.size() >= kMaxPending) {
      // The oldest connection still arriving gives way: a flood of slow ones cannot keep a new
      // client out, only delay the oldest of them.
      platform::TcpClose(pending.front().fd);
      pending.erase(pending.begin());
    }
    pending.push_back({fd, platform::TickMs(), {}, {}});
    pending.back().request.peer = platform::TcpPeer(fd);
  }
}

}  // namespace

void ServeUntil(int listener, Panel& panel, const std::atomic<bool>& stop) {
  Workers workers;
  std::vector<Pending> pending;
  std::vector<int> fds;
  std::vector<bool> ready;
  while (!stop) {
    // One thread reads every request's head and body as they arrive, without a thread each, so
    // that slow or silent connections hold nothing that an admitted request needs.
    fds.assign(1, listener);
    for (const Pending& p : pending) fds.push_back(p.fd);
    platform::WaitAnyReadable(fds, ready, 100);
    const uint64_t now = platform::TickMs();
    std::vector<Pending> still;
    still.reserve(pending.size());
    for (size_t i = 0; i < pending.size(); ++i) {
      Pending& p = pending[i];
      const bool done = ready[i + 1] ? Receive(panel, p, workers) : Expired(p, now, workers);
      if (!done) still.push_back(std::move(p));
    }
    pending.swap(still);
    if (ready[0]) AcceptAll(listener, pending);
  }
  for (const Pending& p : pending) platform::TcpClose(p.fd);
  // Requests still being handled end within their time limits (a memory restore under way ends
  // first): the panel they use must outlive them.
  std::unique_lock<std::mutex> lock(workers.mutex);
  workers.ended.wait(lock, [&] { return workers.handlers == 0 && workers.drains == 0; });
}

}  // namespace panel
