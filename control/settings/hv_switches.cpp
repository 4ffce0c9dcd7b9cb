// The high-voltage switches: trigger and enable sources, trigger rise and fall delays, enable
// delays, and the two mapping tables with their enable bits.
#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/settings/settings.h"
#include "control/common/state.h"
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

void SetRise(uint32_t x, uint32_t v) { SetSwitchTriggerDelay(true, x, v); }
void SetFall(uint32_t x, uint32_t v) { SetSwitchTriggerDelay(false, x, v); }

// What the sub-letters of the 'R' switch and the letters of the switch menu set.
constexpr IndexedSwitchRow kSwitchRows[] = {
    {'T', '3', 64, [](uint32_t x) { ShowSetting(SettingId::kSwitchTriggerConfig, x); },
     [](uint32_t x, uint32_t v) { ChangeSetting(SettingId::kSwitchTriggerConfig, x, v); }},
    {'E', '3', 64, [](uint32_t x) { ShowSetting(SettingId::kSwitchEnableConfig, x); },
     [](uint32_t x, uint32_t v) { ChangeSetting(SettingId::kSwitchEnableConfig, x, v); }},
    {'R', '3', 16, [](uint32_t x) { ShowSwitchTriggerDelay(true, x); }, SetRise},
    {'F', '3', 16, [](uint32_t x) { ShowSwitchTriggerDelay(false, x); }, SetFall},
    {'D', '3', 16, [](uint32_t x) { ShowSetting(SettingId::kSwitchEnableDelay, x); },
     [](uint32_t x, uint32_t v) { ChangeSetting(SettingId::kSwitchEnableDelay, x, v); }},
    {'M', '4', 16, [](uint32_t x) { ShowSetting(SettingId::kSwitchTriggerMapping, x); },
     [](uint32_t x, uint32_t v) { ChangeSetting(SettingId::kSwitchTriggerMapping, x, v); }},
    {'N', '4', 16, [](uint32_t x) { ShowSetting(SettingId::kSwitchEnableMapping, x); },
     [](uint32_t x, uint32_t v) { ChangeSetting(SettingId::kSwitchEnableMapping, x, v); }},
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

void ShowSwitchTriggerDelay(bool rise, uint32_t sw) {
  uint8_t r = 0, f = 0;
  if (ReadTriggerDelays(sw, r, f)) Print("%s", TriggerDelayLine(rise, false, sw, rise ? r : f).c_str());
}

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
    Print("%s", TriggerDelayLine(rise, true, sw, value).c_str());
}

void ShowSwitches() {
  uint32_t trigger[kSwitches], enable[kSwitches];
  for (uint32_t s = 0; s < kSwitches; ++s)
    if (!ReadSetting(SettingId::kSwitchTriggerConfig, s, trigger[s]) ||
        !ReadSetting(SettingId::kSwitchEnableConfig, s, enable[s]))
      return;
  Print("Switch configurations:\n");
  for (uint32_t s = 0; s < kSwitches; ++s) {
    Print("\t%u trigger: %u=%02Xh (%s", s, trigger[s], trigger[s], SourceConfigText(trigger[s]).c_str());
    Print("),\t%u enable:  %u=%02Xh (%s)\n", s, enable[s], enable[s], SourceConfigText(enable[s]).c_str());
  }

  uint8_t rise[kSwitches], fall[kSwitches];
  uint32_t delay[kSwitches];
  for (uint32_t s = 0; s < kSwitches; ++s)
    if (!ReadTriggerDelays(s, rise[s], fall[s]) || !ReadSetting(SettingId::kSwitchEnableDelay, s, delay[s]))
      return;
  Print("Switch delays:\n");
  for (uint32_t s = 0; s < kSwitches; ++s) {
    Print("\t%u trigger rise: %u (%.1lfns),", s, unsigned(rise[s]), SwitchDelayNs(rise[s]));
    Print("\t%u trigger fall: %u (%.1lfns),", s, unsigned(fall[s]), SwitchDelayNs(fall[s]));
    Print("\t%u enable: %u (%.1lfns)\n", s, delay[s], SwitchDelayNs(delay[s]));
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
  // Key prompts are not range-checked, but a value is never sent wider than its field: the
  // configurations as their low 8 bits, the 4-bit delays and mappings not above 15.
  struct Choice {
    char letter;
    const char* name;
    const char* prompt;
    Width width;
  };
  static const Choice kChoices[] = {
      {'P', "Switch settings\n", nullptr, Width::kWord},
      {'T', "Trigger configuration\n", "Enter the trigger configuration: ", Width::kByte},
      {'E', "Enable configuration\n", "Enter the enable configuration: ", Width::kByte},
      {'R', "Trigger rise delay\n", "Enter the trigger rise delay: ", Width::kNibble},
      {'F', "Trigger fall delay\n", "Enter the trigger fall delay: ", Width::kNibble},
      {'D', "Enable delay\n", "Enter the enable delay: ", Width::kNibble},
      {'M', "Trigger mapping\n", "Enter the trigger mapping: ", Width::kNibble},
      {'N', "Enable mapping\n", "Enter the enable mapping: ", Width::kNibble},
  };
  const Choice* c = nullptr;
  for (const Choice& k : kChoices)
    if (k.letter == choice) c = &k;
  if (!c) return;
  Print("%s", c->name);
  if (choice == 'P') return ShowSwitches();

  const bool mapping = choice == 'M' || choice == 'N';
  if (mapping)
    Print("Press 0-%c to select the mapping, 'Y'/'N' to enable/disable: ", '4');
  else
    Print("Press 0-%c to select the switch: ", '3');
  const int selected = SelectDigit(mapping ? '4' : '3', mapping);
  if (selected < 0) return;
  if (selected == 'Y' || selected == 'N')
    return ChangeSetting(choice == 'M' ? SettingId::kTriggerMappingEnable : SettingId::kEnableMappingEnable,
                         0, selected == 'Y');

  uint32_t v = 0;
  if (!PromptNumber(c->prompt, v) || !FitToWidth(c->width, v)) return;
  for (const IndexedSwitchRow& row : kSwitchRows)
    if (row.letter == choice) return row.set(uint32_t(selected), v);
}

}  // namespace control
