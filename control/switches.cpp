// The switch table of the command line: one row per letter. The rows of the program's own
// switches are here; the others call the handlers of their families.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "COM-KESTRAVO.h"
#include "control/command.h"
#include "control/commands.h"
#include "control/config/config.h"
#include "control/diagnostics/diagnostics.h"
#include "control/console.h"
#include "control/settings/settings.h"
#include "control/state.h"

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

int Debug(SwitchArgs& a) {
  State.debug = true;
  if (!a.small() && COM_KESTRAVO_OpenDebugFile(State.PortNumber, "Debug.txt") != 0)
    DebugFileError();
  return *a.rest ? a.index : kParsed;
}

int Quiet(SwitchArgs& a) {
  State.quiet = true;
  return *a.rest ? a.index : kParsed;
}

int Terminate(SwitchArgs& a) {
  State.run = false;
  return *a.rest ? a.index : kParsed;
}

// The status and monitoring rows: none takes further characters.
int Monitor(SwitchArgs& a) {
  const CommandForm* form = SelectForm(a.typed, false);
  if (!form) return a.index;
  if (OpenDevicePort()) form->run(form->continuous);
  return *a.rest ? a.index : kParsed;
}

// Letters whose small and capital forms belong to different families.
int DateOrDIOs(SwitchArgs& a) { return a.small() ? Monitor(a) : DIOSwitch(a); }
int ProductOrPulsers(SwitchArgs& a) { return a.small() ? Monitor(a) : PulserSwitch(a); }
// 'R' is accepted only as a capital. 'J' is taken in either case, as the usage text lists it
// ("jy/jn/j").
int Switches(SwitchArgs& a) { return a.small() ? a.index : SwitchSettingsSwitch(a); }
int ProtocolOrLog(SwitchArgs& a) { return a.small() ? DataLogSwitch(a) : ProtocolSwitch(a); }

const SwitchRow kSwitchRows[] = {
    {'@', Channel},
    {'G', Debug},
    {'Q', Quiet},
    {'T', Terminate},
    {'!', Monitor},
    {'B', Monitor},
    {'C', Monitor},
    {'F', Monitor},
    {'H', Monitor},
    {'I', Monitor},
    {'L', Monitor},
    {'M', Monitor},
    {'N', Monitor},
    {'S', Monitor},
    {'U', Monitor},
    {'V', Monitor},
    {'Z', Monitor},
    {'D', DateOrDIOs},
    {'P', ProductOrPulsers},
    {'$', DataRateSwitch},
    {'A', SoftwareTriggerSwitch},
    {'J', DeviceEnableSwitch},
    {'O', OscillatorSwitch},
    {'R', Switches},
    {'W', ControllerSwitch},
    {'K', ConfigSwitch},
    {'Y', MemorySwitch},
    {'X', ProtocolOrLog},
};

}  // namespace

bool ScanUnsignedShort(const char* text, uint16_t& out) {
  unsigned short v = 0;
  if (std::sscanf(text, "%hu", &v) != 1) return false;
  out = v;
  return true;
}

bool SwitchArgs::small() const { return std::islower(typed) != 0; }

const char* SwitchArgs::Next() {
  if (index + 1 >= argc) return nullptr;
  return argv[++index];
}

const SwitchRow* FindSwitch(int typed) {
  if (typed <= 0 || typed > 255) return nullptr;
  const int upper = std::toupper(typed);
  for (const SwitchRow& row : kSwitchRows)
    if (row.letter == upper) return &row;
  return nullptr;
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
  const SwitchRow* row = FindSwitch(a.typed);
  if (!row) return i;
  int status = row->handler(a);
  i = a.index;
  return status;
}

bool SwitchNumber(const char* text, uint32_t& value) { return ParseUnsigned(text, value) == kNumberParsed; }

int IndexDigit(const char* text, char highest) {
  return (text[0] >= '0' && text[0] <= highest) ? text[0] - '0' : -1;
}

int RunIndexedSwitch(SwitchArgs& a, const IndexedSwitchRow* rows, size_t count) {
  const char sub = a.rest[0] ? a.rest[1] : 0;
  for (size_t i = 0; i < count; ++i) {
    const IndexedSwitchRow& row = rows[i];
    const bool set = sub == row.letter;
    if (!set && sub != std::tolower(row.letter)) continue;
    const int x = IndexDigit(a.rest, row.highest);
    if (x < 0) return a.index;
    uint32_t v = 0;
    if (set ? !SwitchNumber(a.rest + 2, v) || (row.value_limit && v >= row.value_limit) : a.rest[2] != 0)
      return a.index;
    if (!OpenDevicePort()) return kParsed;
    if (set)
      row.set(uint32_t(x), v);
    else
      row.show(uint32_t(x));
    return kParsed;
  }
  return a.index;
}

int RunWithoutCharacters(SwitchArgs& a, void (*run)()) {
  if (OpenDevicePort()) run();
  return *a.rest ? a.index : kParsed;
}

}  // namespace control
