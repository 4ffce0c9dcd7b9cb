// TCP sockets as the RFC 2217 port and server need them: a connection with a time-out and
// TCP_NODELAY, a listening socket, and waits with poll.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Connects to host:port within timeout_ms; the descriptor, or -1 with the reason in why.
int TcpConnect(const std::string& host, uint16_t port, int timeout_ms, std::string& why);
// Listens on address:port (port 0: any free one): a numeric IPv4 or IPv6 address, or a name such
// as localhost (its first address that can be bound, IPv4 first). The descriptor, or -1 with the
// reason in why.
int TcpListen(const std::string& address, uint16_t port, std::string& why);
// The port a socket is bound to.
uint16_t TcpLocalPort(int fd);
// Accepts a connection within timeout_ms (-1 when none came); the descriptor, or -1.
int TcpAccept(int listener, int timeout_ms);
// The numeric address of a connection's far end ("" when it cannot be told).
std::string TcpPeer(int fd);
// Waits up to timeout_ms until fd is readable (or hung up); false on a time-out.
bool WaitReadable(int fd, int timeout_ms);
// Waits up to timeout_ms until one of fds is readable (or hung up); ready tells which (as many
// entries as fds). False on a time-out.
bool WaitAnyReadable(const std::vector<int>& fds, std::vector<bool>& ready, int timeout_ms);
// This machine's name and its addresses as it resolves them (IPv6 ones without brackets).
std::vector<std::string> OwnNamesAndAddresses();
// Non-blocking receive: the count (0 when nothing is there), or -1 when the connection ended.
long TcpReceive(int fd, uint8_t* buffer, size_t size);
// Sends everything within timeout_ms; false when the connection failed or stayed full.
bool TcpSend(int fd, const std::string& bytes, int timeout_ms);
void TcpClose(int fd);

}  // namespace platform
