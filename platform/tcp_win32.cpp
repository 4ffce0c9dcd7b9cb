// Winsock. A SOCKET is kept in an int, as the descriptors are on Linux: socket handles are
// kernel handles, whose values fit in 32 bits.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/tcp.h"

namespace platform {
namespace {

bool Started() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    WSADATA data;
    ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  return ok;
}

SOCKET S(int fd) { return SOCKET(unsigned(fd)); }

std::string ErrorText(int code) {
  char text[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(code), 0, text,
                 sizeof text, nullptr);
  std::string s = text;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
    s.pop_back();
  return s.empty() ? "error " + std::to_string(code) : s;
}

void NonBlocking(SOCKET s) {
  u_long on = 1;
  ioctlsocket(s, FIONBIO, &on);
}

void NoDelay(SOCKET s) {
  BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

bool WaitFor(SOCKET s, short events, int timeout_ms) {
  WSAPOLLFD p{s, events, 0};
  return WSAPoll(&p, 1, timeout_ms) > 0;
}

// Waits for a non-blocking connect to end; its error, 0 when connected. select reports a failed
// connection in its exception set on every Windows version; WSAPoll does not before Windows 10
// 2004 (a refused connection then looks like a time-out).
int ConnectError(SOCKET s, int timeout_ms) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  const int n = select(0, nullptr, &writable, &failed, timeout_ms < 0 ? nullptr : &limit);
  if (n == 0) return WSAETIMEDOUT;
  if (n < 0) return WSAGetLastError();
  int error = 0, len = sizeof error;
  getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len);
  if (error == 0 && FD_ISSET(s, &failed)) error = WSAECONNREFUSED;
  return error;
}

uint64_t NowMs() {
  return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

}  // namespace

int TcpConnect(const std::string& host, uint16_t port, int timeout_ms, std::string& why) {
  if (!Started()) {
    why = "Winsock could not start";
    return -1;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (int r = getaddrinfo(host.c_str(), service.c_str(), &hints, &list); r != 0) {
    why = host + ": " + ErrorText(r);
    return -1;
  }
  SOCKET fd = INVALID_SOCKET;
  why = host + ":" + service + ": no address";
  for (addrinfo* a = list; a && fd == INVALID_SOCKET; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd == INVALID_SOCKET) continue;
    NonBlocking(fd);
    int error = 0;
    if (connect(fd, a->ai_addr, int(a->ai_addrlen)) != 0) {
      error = WSAGetLastError();
      if (error == WSAEWOULDBLOCK) error = ConnectError(fd, timeout_ms);
    }
    if (error != 0) {
      // In the words Linux uses, which scripts and tests look for.
      why = host + ":" + service + ": " +
            (error == WSAECONNREFUSED ? std::string("Connection refused")
             : error == WSAETIMEDOUT  ? std::string("Connection timed out")
                                      : ErrorText(error));
      closesocket(fd);
      fd = INVALID_SOCKET;
    }
  }
  freeaddrinfo(list);
  if (fd == INVALID_SOCKET) return -1;
  NoDelay(fd);
  return int(fd);
}

int TcpListen(const std::string& address, uint16_t port, std::string& why) {
  if (!Started()) {
    why = "Winsock could not start";
    return -1;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (int r = getaddrinfo(address.c_str(), service.c_str(), &hints, &list); r != 0) {
    why = address + ": " + ErrorText(r);
    return -1;
  }
  // IPv4 addresses first, as the loopback names are mostly reached by them.
  SOCKET fd = INVALID_SOCKET;
  for (int family : {AF_INET, AF_INET6})
    for (addrinfo* a = list; a && fd == INVALID_SOCKET; a = a->ai_next) {
      if (a->ai_family != family) continue;
      fd = socket(a->ai_family, SOCK_STREAM, 0);
      if (fd == INVALID_SOCKET) {
        why = ErrorText(WSAGetLastError());
        continue;
      }
      if (bind(fd, a->ai_addr, int(a->ai_addrlen)) != 0 || listen(fd, 64) != 0) {
        why = address + ":" + service + ": " + ErrorText(WSAGetLastError());
        closesocket(fd);
        fd = INVALID_SOCKET;
      }
    }
  freeaddrinfo(list);
  return fd == INVALID_SOCKET ? -1 : int(fd);
}

uint16_t TcpLocalPort(int fd) {
  sockaddr_storage a{};
  int len = sizeof a;
  if (getsockname(S(fd), reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
  return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                                       : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
}

int TcpAccept(int listener, int timeout_ms) {
  if (!WaitReadable(listener, timeout_ms)) return -1;
  const SOCKET fd = accept(S(listener), nullptr, nullptr);
  if (fd == INVALID_SOCKET) return -1;
  NonBlocking(fd);
  NoDelay(fd);
  return int(fd);
}

std::string TcpPeer(int fd) {
  sockaddr_storage a{};
  int len = sizeof a;
  char text[INET6_ADDRSTRLEN] = "";
  if (getpeername(S(fd), reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
      getnameinfo(reinterpret_cast<sockaddr*>(&a), len, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
    return "";
  return text;
}

bool WaitReadable(int fd, int timeout_ms) { return WaitFor(S(fd), POLLRDNORM, timeout_ms); }

bool WaitAnyReadable(const std::vector<int>& fds, std::vector<bool>& ready, int timeout_ms) {
  std::vector<WSAPOLLFD> p(fds.size());
  for (size_t i = 0; i < fds.size(); ++i) p[i] = {S(fds[i]), POLLRDNORM, 0};
  const int n = p.empty() ? 0 : WSAPoll(p.data(), ULONG(p.size()), timeout_ms);
  if (p.empty()) Sleep(DWORD(timeout_ms));
  ready.assign(fds.size(), false);
  for (size_t i = 0; n > 0 && i < fds.size(); ++i) ready[i] = p[i].revents != 0;
  return n > 0;
}

std::vector<std::string> OwnNamesAndAddresses() {
  std::vector<std::string> out;
  char name[256] = "";
  if (!Started() || gethostname(name, sizeof name - 1) != 0 || !*name) return out;
  out.push_back(name);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &list) != 0) return out;
  for (addrinfo* a = list; a; a = a->ai_next) {
    char text[INET6_ADDRSTRLEN] = "";
    if (getnameinfo(a->ai_addr, int(a->ai_addrlen), text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
      out.push_back(text);
  }
  freeaddrinfo(list);
  return out;
}

long TcpReceive(int fd, uint8_t* buffer, size_t size) {
  const int n = recv(S(fd), reinterpret_cast<char*>(buffer), int(size > 1u << 30 ? 1u << 30 : size), 0);
  if (n > 0) return long(n);
  if (n == 0) return -1;  // the peer closed the connection
  const int error = WSAGetLastError();
  return (error == WSAEWOULDBLOCK || error == WSAEINTR) ? 0 : -1;
}

bool TcpSend(int fd, const std::string& bytes, int timeout_ms) {
  size_t sent = 0;
  // The network takes real time whatever clock the protocol runs on.
  const uint64_t deadline = NowMs() + uint64_t(timeout_ms);
  while (sent < bytes.size()) {
    const int n = send(S(fd), bytes.data() + sent, int(bytes.size() - sent), 0);
    if (n > 0) {
      sent += size_t(n);
      continue;
    }
    const int error = WSAGetLastError();
    if (n < 0 && error != WSAEWOULDBLOCK && error != WSAEINTR) return false;
    const uint64_t now = NowMs();
    if (now >= deadline) return false;
    WaitFor(S(fd), POLLWRNORM, int(deadline - now));
  }
  return true;
}

void TcpClose(int fd) {
  if (fd >= 0) closesocket(S(fd));
}

}  // namespace platform
