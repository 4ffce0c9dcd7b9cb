// The seven digital inputs and outputs: direction, termination and output sources.
#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "control/settings/settings.h"
#include "model/device_texts.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

constexpr unsigned kDIOs = 7;

bool ReadMasks(uint8_t& outputs, uint8_t& terminations) {
  return Succeeded(COM_KESTRAVO_GetInputConfig(State.PortNumber, &outputs, &terminations),
                   "COM_KESTRAVO_GetInputConfig");
}

// The directions a DIO can be set to, by the letter that chooses them (switch and menu alike).
struct Direction {
  char letter;
  bool output, termination;
  const char* menu_name;
};
constexpr Direction kDirections[] = {
    {'O', true, false, "Output\n"},
    {'I', false, false, "Input\n"},
    {'T', false, true, "Input w/ termination\n"},
};

const Direction* DirectionOf(char letter) {
  for (const Direction& d : kDirections)
    if (d.letter == (letter & ~0x20)) return &d;
  return nullptr;
}

}  // namespace

void ShowDIOInput(uint32_t d) {
  if (State.json) return ShowSetting(SettingId::kDIODirection, d);
  Progress("Getting DIO%u configuration:\n", d);
  uint8_t outputs = 0, terminations = 0;
  if (ReadMasks(outputs, terminations))
    Print("DIO%u configuration: %s\n", d, model::DIODirection(outputs, terminations, d));
}

// Changes DIO d's bits of both masks and leaves the other DIOs as read.
void SetDIOInput(uint32_t d, bool output, bool termination) {
  Progress("Setting DIO%u configuration:\n", d);
  uint8_t outputs = 0, terminations = 0;
  if (!ReadMasks(outputs, terminations)) return;
  const uint8_t bit = uint8_t(1u << d);
  outputs = output ? uint8_t(outputs | bit) : uint8_t(outputs & ~bit);
  terminations = termination ? uint8_t(terminations | bit) : uint8_t(terminations & ~bit);
  if (!Succeeded(COM_KESTRAVO_SetInputConfig(State.PortNumber, outputs, terminations),
                 "COM_KESTRAVO_SetInputConfig"))
    return;
  Print("DIO%u configuration set to %s\n", d, output ? "output" : termination ? "terminated input" : "input");
}

void SetDIOOutput(uint32_t d, uint32_t value) { ChangeSetting(SettingId::kDIOOutput, d, value & 0x3F); }

void ShowDIOs() {
  if (ShowSettingsJson({SettingId::kDIODirection, SettingId::kDIOOutput})) return;
  Progress("Getting DIO configuration:\n");
  uint8_t outputs = 0, terminations = 0;
  if (!ReadMasks(outputs, terminations)) return;
  Print("DIO configuration:\n");
  const model::SettingInfo& s = model::SettingOf(SettingId::kDIOOutput);
  for (uint32_t d = 0; d < kDIOs; ++d) {
    uint32_t config = 0;
    if (!Succeeded(s.get(State.PortNumber, d, config), s.get_call)) return;
    Print("\tDIO%d:\t%s,\tconfiguration: %u=%02Xh (", int(d), model::DIODirection(outputs, terminations, d),
          config, config);
    Print("%s)\n", model::SourceConfigText(config).c_str());
  }
}

// -D; -DxII/-DxIi, -DxIO/-DxIo, -DxIT/-DxIt; -Dxi; -DxOv; -Dxo.
int DIOSwitch(SwitchArgs& a) {
  if (*a.rest == 0) return RunWithoutCharacters(a, ShowDIOs);
  const int x = IndexDigit(a.rest, '6');
  if (x < 0) return a.index;
  switch (a.rest[1]) {
    case 'I': {
      const Direction* dir = DirectionOf(a.rest[2]);
      if (!dir || a.rest[3] != 0) return a.index;
      if (OpenDevicePort()) SetDIOInput(uint32_t(x), dir->output, dir->termination);
      return kParsed;
    }
    case 'i':  // later characters are ignored
      if (OpenDevicePort()) ShowDIOInput(uint32_t(x));
      return kParsed;
    case 'O': {
      uint32_t v = 0;
      if (!SwitchNumber(a.rest + 2, v)) return a.index;
      if (OpenDevicePort()) SetDIOOutput(uint32_t(x), v & 0xFF);
      return kParsed;
    }
    case 'o':  // later characters are ignored
      if (OpenDevicePort()) ShowSetting(SettingId::kDIOOutput, uint32_t(x));
      return kParsed;
    default:
      return a.index;
  }
}

void DIOMenu() {
  Print(
      "Press 'D' to get the DIO config., 'I' to set the input config.,\n      'O' to set the output "
      "config.: ");
  const int choice = SelectLetter("DIO");
  if (choice < 0) return;
  Print(choice == 'D'   ? "DIO configuration\n"
        : choice == 'I' ? "Input configuration\n"
                        : "Output configuration\n");
  if (choice == 'D') return ShowDIOs();
  Print("Press 0-%u to select the DIO:", 6u);
  const int dio = SelectDigit('6', false, " %u\n");
  if (dio < 0) return;
  if (choice == 'I') {
    Print("Press 'O' to set DIO as output, 'I' as input, 'T' as input w/ termination: ");
    const int letter = SelectLetter("OIT");
    if (letter < 0) return;
    const Direction* dir = DirectionOf(char(letter));
    Print("%s", dir->menu_name);
    return SetDIOInput(uint32_t(dio), dir->output, dir->termination);
  }
  uint32_t v = 0;
  if (PromptNumber("Enter the configuration: ", v)) SetDIOOutput(uint32_t(dio), v & 0xFF);
}

}  // namespace control
