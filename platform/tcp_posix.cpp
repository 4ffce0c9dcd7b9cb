#include "platform/tcp.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace platform {

int TcpConnect(const std::string& host, uint16_t port, int timeout_ms, std::string& why) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (int r = getaddrinfo(host.c_str(), service.c_str(), &hints, &list); r != 0) {
    why = host + ": " + gai_strerror(r);
    return -1;
  }
  int fd = -1;
  why = host + ":" + service + ": no address";
  for (addrinfo* a = list; a && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int r = connect(fd, a->ai_addr, a->ai_addrlen);
    if (r != 0 && errno == EINPROGRESS) {
      pollfd pfd{fd, POLLOUT, 0};
      int error = ETIMEDOUT;
      socklen_t len = sizeof error;
      if (poll(&pfd, 1, timeout_ms) == 1) getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
      r = error == 0 ? 0 : -1;
      errno = error;
    }
    if (r != 0) {
      why = host + ":" + service + ": " + std::strerror(errno);
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(list);
  if (fd >= 0) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd;
}

int TcpListen(const std::string& address, uint16_t port, std::string& why) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (int r = getaddrinfo(address.c_str(), service.c_str(), &hints, &list); r != 0) {
    why = address + ": " + gai_strerror(r);
    return -1;
  }
  // IPv4 addresses first, as the loopback names are mostly reached by them.
  int fd = -1;
  for (int family : {AF_INET, AF_INET6})
    for (addrinfo* a = list; a && fd < 0; a = a->ai_next) {
      if (a->ai_family != family) continue;
      fd = socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0) {
        why = std::strerror(errno);
        continue;
      }
      int one = 1;
      setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
      if (family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
      if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 64) != 0) {
        why = address + ":" + service + ": " + std::strerror(errno);
        close(fd);
        fd = -1;
      }
    }
  freeaddrinfo(list);
  return fd;
}

uint16_t TcpLocalPort(int fd) {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
  return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                                       : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
}

int TcpAccept(int listener, int timeout_ms) {
  if (!WaitReadable(listener, timeout_ms)) return -1;
  const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd >= 0) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd;
}

std::string TcpPeer(int fd) {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  char text[INET6_ADDRSTRLEN] = "";
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
      getnameinfo(reinterpret_cast<sockaddr*>(&a), len, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
    return "";
  return text;
}

bool WaitReadable(int fd, int timeout_ms) {
  pollfd pfd{fd, POLLIN, 0};
  return poll(&pfd, 1, timeout_ms) > 0;
}

bool WaitAnyReadable(const std::vector<int>& fds, std::vector<bool>& ready, int timeout_ms) {
  std::vector<pollfd> p(fds.size());
  for (size_t i = 0; i < fds.size(); ++i) p[i] = {fds[i], POLLIN, 0};
  const int n = poll(p.data(), nfds_t(p.size()), timeout_ms);
  ready.assign(fds.size(), false);
  for (size_t i = 0; n > 0 && i < fds.size(); ++i) ready[i] = p[i].revents != 0;
  return n > 0;
}

std::vector<std::string> OwnNamesAndAddresses() {
  std::vector<std::string> out;
  char name[256] = "";
  if (gethostname(name, sizeof name - 1) != 0 || !*name) return out;
  out.push_back(name);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &list) != 0) return out;
  if (list && list->ai_canonname && std::strcmp(list->ai_canonname, name) != 0)
    out.push_back(list->ai_canonname);
  for (addrinfo* a = list; a; a = a->ai_next) {
    char text[INET6_ADDRSTRLEN] = "";
    if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
      out.push_back(text);
  }
  freeaddrinfo(list);
  return out;
}

long TcpReceive(int fd, uint8_t* buffer, size_t size) {
  const ssize_t n = recv(fd, buffer, size, MSG_DONTWAIT);
  if (n > 0) return long(n);
  if (n == 0) return -1;  // the peer closed the connection
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
}

bool TcpSend(int fd, const std::string& bytes, int timeout_ms) {
  size_t sent = 0;
  // The network takes real time whatever clock the protocol runs on.
  const auto now_ms = [] {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
  };
  const uint64_t deadline = now_ms() + uint64_t(timeout_ms);
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += size_t(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    const uint64_t now = now_ms();
    if (now >= deadline) return false;
    pollfd pfd{fd, POLLOUT, 0};
    poll(&pfd, 1, int(deadline - now));
  }
  return true;
}

void TcpClose(int fd) {
  if (fd >= 0) close(fd);
}

}  // namespace platform
