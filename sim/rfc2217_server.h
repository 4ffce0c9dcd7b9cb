// Serving the simulated device over RFC 2217 (COM-KESTRAVO-Sim --rfc2217).
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "sim/sim.h"

namespace sim {

// Listens on address:port, calls ready once listening, and serves one client at a time until stop
// is set; returns the exit status.
int ServeRfc2217(Device& device, const std::string& address, uint16_t port,
                 const std::function<void(const std::string&)>& ready, const bool& stop);

}  // namespace sim
