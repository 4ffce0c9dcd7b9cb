// The program state of the console program and the once-only opening of its port.
#pragma once
#include <cstdint>

namespace control {

struct ProgramState {
  uint32_t ComNumber = 0;  // as typed; only 1 to 255 reach the library
  uint16_t PortNumber = 0;
  bool run = true;
  bool quiet = false;
  bool debug = false;
  bool opened = false;
};

extern ProgramState State;

// Opens the port the first time it is called: checks the library version, then COM_KESTRAVO_Open.
void OpenDevicePort();
// The closing sequence after the key loop (or at once when the run flag is clear).
void ClosePort();

}  // namespace control
