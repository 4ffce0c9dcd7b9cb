// The simulated device as a kind of port: "sim" (a fresh device) or "sim:<file>" (its stored state
// kept in <file>), on the in-process line.
#include <cstdio>
#include <cstdlib>

#include "ports/inproc.h"
#include "ports/kinds.h"
#include "sim/sim.h"

namespace ports {

std::unique_ptr<SerialDevice> OpenSimDevice(const std::string& state_file) {
  auto device = std::make_shared<sim::Device>(state_file);
  std::string error;
  if (!device->Init(error)) {
    std::fprintf(stderr, "KESTRAVO simulated device: %s\n", error.c_str());
    SetOpenFailure("sim:" + state_file + ": " + error);
    return nullptr;
  }
  if (const char* faults = std::getenv("KESTRAVO_SIM_FAULTS")) {
    if (!sim::ParseFaults(faults, device->faults)) {
      std::fprintf(stderr, "KESTRAVO simulated device: cannot read KESTRAVO_SIM_FAULTS='%s'\n", faults);
      SetOpenFailure(std::string("sim: cannot read KESTRAVO_SIM_FAULTS='") + faults + "'");
      return nullptr;
    }
  }
  return MakeInProcDevice(device);
}

}  // namespace ports
