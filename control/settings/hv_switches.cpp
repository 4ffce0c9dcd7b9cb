// The high-voltage switches: trigger and enable sources, trigger rise and fall delays, enable
// delays, and the two mapping tables with their enable bits.
#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "control/settings/settings.h"
#include "model/device_texts.h"
#include "model/settings.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

constexpr unsigned kSwitches = 4, kMappings = 5;

bool ReadTriggerDelays(uint32_t sw, uint8_t& rise, uint8_t& fall) {
  Progress("Getting delays of switch #%u trigger:\n", sw);
  return Succeeded(COM_KESTRAVO_GetSwitchTriggerDelay(State.PortNumber, sw, &rise, &fall),
                   "COM_KESTRAVO_GetSwitchTriggerDelay");
}

// What the sub-letters of the 'R' switch and the letters of the switch menu set.
constexpr IndexedSwitchRow kSwitchRows[] = {
    {'T', SettingId::kSwitchTriggerConfig, "Trigger configuration\n", "Enter the trigger configuration: "},
    {'E', SettingId::kSwitchEnableConfig, "Enable configuration\n", "Enter the enable configuration: "},
    {'R', SettingId::kSwitchRiseDelay, "Trigger rise delay\n", "Enter the trigger rise delay: "},
    {'F', SettingId::kSwitchFallDelay, "Trigger fall delay\n", "Enter the trigger fall delay: "},
    {'D', SettingId::kSwitchEnableDelay, "Enable delay\n", "Enter the enable delay: "},
    {'M', SettingId::kSwitchTriggerMapping, "Trigger mapping\n", "Enter the trigger mapping: "},
    {'N', SettingId::kSwitchEnableMapping, "Enable mapping\n", "Enter the enable mapping: "},
};

// -RYM, -RNM, -RYN, -RNN in either case: the mapping enable bits.
int MappingEnable(SwitchArgs& a) {
  const char on = char(a.rest[0] & ~0x20), which = char(a.rest[1] & ~0x20);
  if ((on != 'Y' && on != 'N') || (which != 'M' && which != 'N') || a.rest[2] != 0) return a.index;
  if (OpenDevicePort())
    ChangeSetting(which == 'M' ? SettingId::kTriggerMappingEnable : SettingId::kEnableMappingEnable, 0,
                  on == 'Y');
  return kParsed;
}

}  // namespace

// The rise and fall delays travel together: the one not changed is written back as read.
void SetSwitchTriggerDelay(bool rise, uint32_t sw, uint32_t value) {
  uint8_t r = 0, f = 0;
  if (!ReadTriggerDelays(sw, r, f)) return;
  Progress(
      rise ? "Setting rise delay of switch #%u trigger:\n" : "Setting fall delay of switch #%u trigger:\n",
      sw);
  const int32_t result = rise ? COM_KESTRAVO_SetSwitchTriggerDelay(State.PortNumber, sw, value, f)
                              : COM_KESTRAVO_SetSwitchTriggerDelay(State.PortNumber, sw, r, value);
  if (Succeeded(result, "COM_KESTRAVO_SetSwitchTriggerDelay"))
    Print("%s", SettingLine(rise ? SettingId::kSwitchRiseDelay : SettingId::kSwitchFallDelay, true, sw, value)
                    .c_str());
}

void ShowSwitches() {
  if (ShowSettingsJson({SettingId::kSwitchTriggerConfig, SettingId::kSwitchEnableConfig,
                        SettingId::kSwitchRiseDelay, SettingId::kSwitchFallDelay,
                        SettingId::kSwitchEnableDelay, SettingId::kSwitchTriggerMapping,
                        SettingId::kSwitchEnableMapping, SettingId::kTriggerMappingEnable,
                        SettingId::kEnableMappingEnable}))
    return;
  uint32_t trigger[kSwitches], enable[kSwitches];
  for (uint32_t s = 0; s < kSwitches; ++s)
    if (!ReadSetting(SettingId::kSwitchTriggerConfig, s, trigger[s]) ||
        !ReadSetting(SettingId::kSwitchEnableConfig, s, enable[s]))
      return;
  Print("Switch configurations:\n");
  for (uint32_t s = 0; s < kSwitches; ++s) {
    Print("\t%u trigger: %u=%02Xh (%s", s, trigger[s], trigger[s],
          model::SourceConfigText(trigger[s]).c_str());
    Print("),\t%u enable:  %u=%02Xh (%s)\n", s, enable[s], enable[s],
          model::SourceConfigText(enable[s]).c_str());
  }

  uint8_t rise[kSwitches], fall[kSwitches];
  uint32_t delay[kSwitches];
  for (uint32_t s = 0; s < kSwitches; ++s)
    if (!ReadTriggerDelays(s, rise[s], fall[s]) || !ReadSetting(SettingId::kSwitchEnableDelay, s, delay[s]))
      return;
  Print("Switch delays:\n");
  for (uint32_t s = 0; s < kSwitches; ++s) {
    Print("\t%u trigger rise: %u (%.1lfns),", s, unsigned(rise[s]), model::SwitchDelayNs(rise[s]));
    Print("\t%u trigger fall: %u (%.1lfns),", s, unsigned(fall[s]), model::SwitchDelayNs(fall[s]));
    Print("\t%u enable: %u (%.1lfns)\n", s, delay[s], model::SwitchDelayNs(delay[s]));
  }

  uint32_t tmap[kMappings], emap[kMappings];
  for (uint32_t m = 0; m < kMappings; ++m)
    if (!ReadSetting(SettingId::kSwitchTriggerMapping, m, tmap[m]) ||
        !ReadSetting(SettingId::kSwitchEnableMapping, m, emap[m]))
      return;
  Print("Switch mappings:\n");
  for (uint32_t m = 0; m < kMappings; ++m) {
    Print("\t%u trigger: %u=%02Xh,", m, tmap[m], tmap[m]);
    Print("\t%u enable:  %u=%02Xh\n", m, emap[m], emap[m]);
  }

  uint32_t trigger_on = 0, enable_on = 0;
  if (!ReadSetting(SettingId::kTriggerMappingEnable, 0, trigger_on) ||
      !ReadSetting(SettingId::kEnableMappingEnable, 0, enable_on))
    return;
  Print("\ttrigger: %s,", trigger_on ? "enabled" : "disabled");
  Print("\tenable:  %s\n", enable_on ? "enabled" : "disabled");
}

// -R; -RxTv/-Rxt, -RxEv/-Rxe, -RxRv/-Rxr, -RxFv/-Rxf, -RxDv/-Rxd, -RxMv/-Rxm, -RxNv/-Rxn;
// -RYM, -RNM, -RYN, -RNN.
int SwitchSettingsSwitch(SwitchArgs& a) {
  if (*a.rest == 0) return RunWithoutCharacters(a, ShowSwitches);
  if (a.rest[0] < '0' || a.rest[0] > '9') return MappingEnable(a);
  return RunIndexedSwitch(a, kSwitchRows);
}

void SwitchMenu() {
  Print(
      "Press 'P' to display switch settings\n      'T'/'E' to set the trigger/enable configuration\n"
      "      'R'/'F'/'D' to set the trigger rise/trigger fall/enable delay\n"
      "      'M'/'N' to set the trigger/enable mapping: ");
  const int choice = SelectLetter("PTERFDMN");
  if (choice < 0) return;
  if (choice == 'P') {
    Print("Switch settings\n");
    return ShowSwitches();
  }
  const IndexedSwitchRow* c = nullptr;
  for (const IndexedSwitchRow& row : kSwitchRows)
    if (row.letter == choice) c = &row;
  if (!c) return;
  Print("%s", c->menu_name);

  const bool mapping = choice == 'M' || choice == 'N';
  if (mapping)
    Print("Press 0-%c to select the mapping, 'Y'/'N' to enable/disable: ", HighestIndexDigit(c->id));
  else
    Print("Press 0-%c to select the switch: ", HighestIndexDigit(c->id));
  const int selected = SelectDigit(HighestIndexDigit(c->id), mapping);
  if (selected < 0) return;
  if (selected == 'Y' || selected == 'N')
    return ChangeSetting(choice == 'M' ? SettingId::kTriggerMappingEnable : SettingId::kEnableMappingEnable,
                         0, selected == 'Y');

  // Key prompts are not range-checked, but a value is never sent wider than its field: the
  // configurations as their low 8 bits, the 4-bit delays and mappings not above 15.
  PromptSetting(c->prompt, c->id, uint32_t(selected));
}

}  // namespace control
