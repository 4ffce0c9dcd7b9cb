// The oscillator period and the data rate of the line.
#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "control/settings/settings.h"
#include "platform/terminal.h"

namespace control {

void ShowOscillatorPeriod() { ShowSetting(SettingId::kOscillatorPeriod); }

void SetDataRate(uint32_t baud) {
  Progress("Setting the data rate to %u baud:\n", baud);
  uint32_t value = baud;  // the library may change it
  if (!Succeeded(COM_KESTRAVO_SetBaudRate(State.PortNumber, &value), "COM_KESTRAVO_SetBaudRate")) return;
  platform::Print("%s", DataRateText(value, baud).c_str());
}

// -O, -o: show; -Ov, -ov: set.
int OscillatorSwitch(SwitchArgs& a) {
  if (*a.rest == 0) return RunWithoutCharacters(a, ShowOscillatorPeriod);
  uint32_t v = 0;
  if (!SwitchNumber(a.rest, v)) return a.index;
  if (OpenDevicePort()) ChangeSetting(SettingId::kOscillatorPeriod, 0, v);
  return kParsed;
}

// -$v
int DataRateSwitch(SwitchArgs& a) {
  uint32_t v = 0;
  if (!SwitchNumber(a.rest, v)) return a.index;
  if (OpenDevicePort()) SetDataRate(v);
  return kParsed;
}

void OscillatorKey() { PromptSetting("Enter the oscillator period: ", SettingId::kOscillatorPeriod, 0); }

void DataRateKey() {
  uint32_t v = 0;
  if (PromptNumber("Enter the new data rate in baud: ", v)) SetDataRate(v);
}

}  // namespace control
