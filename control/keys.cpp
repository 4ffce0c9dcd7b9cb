// The key table of the key loop. The status and monitoring keys share their rows with the
// switches (monitor/commands.cpp); the settings keys are here.
#include <cctype>

#include "control/command.h"
#include "control/config/config.h"
#include "control/diagnostics/diagnostics.h"
#include "control/monitor/commands.h"
#include "control/settings/settings.h"
#include "control/texts.h"
#include "platform/terminal.h"

namespace control {
namespace {

void Help() { platform::Print("%s", kHelpText); }

const KeyRow kKeyRows[] = {
    {'?', Help, nullptr},
    {'$', DataRateKey, nullptr},
    {'A', SoftwareTriggerKey, SoftwareTriggerDialogue},
    {'D', nullptr, DIOMenu},
    {'J', ShowDeviceEnable, DeviceEnableDialogue},
    {'O', ShowOscillatorPeriod, OscillatorKey},
    {'P', nullptr, PulserMenu},
    {'R', nullptr, SwitchMenu},
    {'W', ControllerStateKey, ControllerConfigKey},
    {'K', nullptr, ConfigMenu},
    {'Y', BackupKey, RestoreKey},
    {'X', DataLogKey, ProtocolKey},
    {'@', CommunicationTest, nullptr},
};

}  // namespace

KeyHandler FindKey(int key) {
  if (key < 0 || key >= platform::kExtended) return nullptr;  // cursor and function keys do nothing
  const int upper = std::toupper(key);
  const bool small = !std::isupper(key);
  for (const KeyRow& row : kKeyRows) {
    if (row.key != upper) continue;
    KeyHandler handler = small ? row.small : row.capital;
    if (handler) return handler;
    break;  // the other form may be a status key ('d', 'p')
  }
  return nullptr;
}

}  // namespace control
