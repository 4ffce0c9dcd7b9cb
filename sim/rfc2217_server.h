// Serving the simulated device over RFC 2217 (COM-KESTRAVO-Sim --rfc2217).
#pragma once
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "sim/sim.h"

namespace sim {

// A serial port has one user: while a client is served, another is refused with this line
// (a Telnet client shows it, and the library names it in its reason for a failed opening).
constexpr char kBusyText[] = "COM-KESTRAVO-Sim: the port is in use by another client\r\n";
// A client that sends nothing for this long is let go (0: never), so that a forgotten connection
// does not keep the port.
constexpr uint32_t kDefaultIdleSeconds = 600;

// Serves one connected client on fd until it leaves, stays silent for idle_ms (0: no limit) or stop
// is set. A client that connects to listener meanwhile (-1: none) waits a second; if this one is
// still served then, it is refused with kBusyText. Returns the waiting client's descriptor (to be
// served next), or -1.
int ServeConnection(Device& device, int fd, const volatile std::sig_atomic_t& stop, int listener,
                    uint64_t idle_ms);

// Listens on address:port, calls ready once listening, and serves one client at a time until stop
// is set; returns the exit status.
int ServeRfc2217(Device& device, const std::string& address, uint16_t port,
                 const std::function<void(const std::string&)>& ready, const volatile std::sig_atomic_t& stop,
                 uint32_t idle_seconds = kDefaultIdleSeconds);

}  // namespace sim
