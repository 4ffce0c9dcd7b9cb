// The switch table of the command line: one row per letter. The rows of the program's own
// switches are here; the others call the handlers of their families.
#include <cctype>

#include "COM-KESTRAVO.h"
#include "control/command.h"
#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/state.h"
#include "control/config/config.h"
#include "control/diagnostics/diagnostics.h"
#include "control/monitor/commands.h"
#include "control/settings/settings.h"

namespace control {
namespace {

// -@x or -@ x: the channel in the same argument, or in the next when the character after '@' is
// missing, a blank or a tab.
int Channel(SwitchArgs& a) {
  const char* text = a.rest;
  if (*text == 0 || *text == ' ' || *text == '\t') {
    text = a.Next();
    if (!text) return a.argc;
  }
  return ScanUnsignedShort(text, State.PortNumber) ? kParsed : a.index;
}

// -G [FILE]: a following argument that is no switch (it starts with neither '-' nor '/') names the
// trace file; --trace FILE names any.
int Debug(SwitchArgs& a) {
  State.debug = true;
  if (*a.rest) return a.index;
  if (a.small()) return kParsed;
  if (a.index + 1 < a.argc && a.argv[a.index + 1][0] != '-' && a.argv[a.index + 1][0] != '/') {
    State.trace_file = a.Next();
    State.trace_named = true;
  }
  OpenTraceFile();
  return kParsed;
}

int Quiet(SwitchArgs& a) {
  State.quiet = true;
  return *a.rest ? a.index : kParsed;
}

int Terminate(SwitchArgs& a) {
  State.run = false;
  return *a.rest ? a.index : kParsed;
}

// A status or monitoring letter, from the command table that the keys share: none takes further
// characters.
int Monitor(SwitchArgs& a) {
  const CommandForm* form = SelectForm(a.typed, false);
  if (!form) return a.index;
  if (OpenDevicePort()) form->run(form->continuous);
  return *a.rest ? a.index : kParsed;
}

// A null form falls back to the command table ('d' is the firmware date, 'D' the DIOs; 'R' is
// accepted only as a capital). 'J' is taken in either case, as the usage text lists it
// ("jy/jn/j").
const SwitchRow kSwitchRows[] = {
    {'@', Channel, Channel},
    {'G', Debug, Debug},
    {'Q', Quiet, Quiet},
    {'T', Terminate, Terminate},
    {'$', DataRateSwitch, DataRateSwitch},
    {'A', SoftwareTriggerSwitch, SoftwareTriggerSwitch},
    {'D', nullptr, DIOSwitch},
    {'J', DeviceEnableSwitch, DeviceEnableSwitch},
    {'O', OscillatorSwitch, OscillatorSwitch},
    {'P', nullptr, PulserSwitch},
    {'R', nullptr, SwitchSettingsSwitch},
    {'W', ControllerSwitch, ControllerSwitch},
    {'K', ConfigSwitch, ConfigSwitch},
    {'Y', MemorySwitch, MemorySwitch},
    {'X', DataLogSwitch, ProtocolSwitch},
};

}  // namespace

SwitchHandler FindSwitch(int typed) {
  if (typed <= 0 || typed > 255) return nullptr;
  const int upper = std::toupper(typed);
  const bool small = std::islower(typed) != 0;
  for (const SwitchRow& row : kSwitchRows) {
    if (row.letter != upper) continue;
    if (SwitchHandler handler = small ? row.small : row.capital) return handler;
    break;
  }
  return SelectForm(typed, false) ? Monitor : nullptr;
}

int RunSwitch(int argc, char** argv, int& i) {
  const char* arg = argv[i];
  if (arg[0] != '-' && arg[0] != '/') return i;
  SwitchArgs a;
  a.argc = argc;
  a.argv = argv;
  a.index = i;
  a.typed = static_cast<unsigned char>(arg[1]);
  a.rest = arg[1] ? arg + 2 : arg + 1;
  const SwitchHandler handler = FindSwitch(a.typed);
  if (!handler) return i;
  JsonSwitchBegin(arg);
  int status = handler(a);
  JsonSwitchEnd();
  i = a.index;
  return status;
}

}  // namespace control
