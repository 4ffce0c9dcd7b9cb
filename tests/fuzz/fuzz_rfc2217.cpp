// The code that meets the network, in both directions: any bytes a server sends to the library's
// RFC 2217 client (which then goes through its calls), and any bytes a client sends to the
// simulated device's server. The first byte chooses the direction.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <thread>

#include "ports/kinds.h"
#include "ports/port.h"
#include "ports/telnet.h"
#include "sim/rfc2217_server.h"
#include "sim/sim.h"

namespace {

int g_listener = -1;
uint16_t g_port = 0;

void Listen() {
  g_listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(g_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(g_listener, 4);
  socklen_t len = sizeof a;
  getsockname(g_listener, reinterpret_cast<sockaddr*>(&a), &len);
  g_port = ntohs(a.sin_port);
}

// A server that says the bytes and hangs up; the client goes through every kind of call.
void ToTheClient(const uint8_t* data, size_t size) {
  std::thread server([&] {
    const int fd = accept(g_listener, nullptr, nullptr);
    if (fd < 0) return;
    send(fd, data, size, MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    char sink[4096];
    timeval t{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    while (recv(fd, sink, sizeof sink, 0) > 0) {
    }
    close(fd);
  });
  if (auto port = ports::OpenRfc2217Device("//127.0.0.1:" + std::to_string(g_port))) {
    ports::PortConfig state{};
    state.baud = 115200;
    state.data_bits = 8;
    port->SetConfig(state);
    ports::CommTimeouts timeouts{};
    timeouts.ReadTotalTimeoutConstant = 5;
    port->SetTimeouts(timeouts);
    uint32_t bits = 0, got = 0, written = 0;
    uint8_t buffer[256];
    port->ModemStatus(bits);
    port->Read(buffer, sizeof buffer, got);
    port->ClearError(bits);
    port->Write("v\r", 2, written);
    port->Purge(0);
    port->Close();
  }
  server.join();
}

// A client that says the bytes and hangs up.
void ToTheServer(const uint8_t* data, size_t size) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return;
  send(pair[1], data, size, MSG_NOSIGNAL);
  shutdown(pair[1], SHUT_WR);
  sim::Device device;
  std::string error;
  device.Init(error);
  static volatile std::sig_atomic_t stop = 0;
  sim::ServeConnection(device, pair[0], stop, -1, 0);
  close(pair[0]);
  close(pair[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_listener < 0) Listen();
  if (size == 0) return 0;
  if (data[0] & 1)
    ToTheClient(data + 1, size - 1);
  else
    ToTheServer(data + 1, size - 1);
  return 0;
}
