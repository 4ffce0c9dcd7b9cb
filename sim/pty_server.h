// Serving the simulated device on a pseudo-terminal (COM-KESTRAVO-Sim).
#pragma once
#include <csignal>
#include <functional>
#include <string>

#include "sim/sim.h"

namespace sim {

// Creates the pseudo-terminal, calls ready with its path, and serves the device until stop is set
// (by a signal); returns the exit status.
int ServeOnPty(Device& device, const std::function<void(const std::string&)>& ready,
               const volatile std::sig_atomic_t& stop);

}  // namespace sim
