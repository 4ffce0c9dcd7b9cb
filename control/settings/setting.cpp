// The one routine behind every member of the get/set family.
#include "control/common/console.h"
#include "control/settings/settings.h"
#include "control/common/state.h"
#include "platform/terminal.h"

namespace control {

bool ReadSetting(SettingId id, uint32_t index, uint32_t& value, const char* debug_line) {
  const Setting& s = SettingOf(id);
  Progress(debug_line ? debug_line : s.get_debug, index);
  return Succeeded(s.get(State.PortNumber, index, value), s.get_call);
}

void ShowSetting(SettingId id, uint32_t index) {
  uint32_t value = 0;
  if (ReadSetting(id, index, value))
    platform::Print("%s", SettingLine(SettingOf(id), false, index, value).c_str());
}

void ChangeSetting(SettingId id, uint32_t index, uint32_t value) {
  const Setting& s = SettingOf(id);
  Progress(s.set_debug, index);
  if (!Succeeded(s.set(State.PortNumber, index, value), s.set_call)) return;
  platform::Print("%s", SettingLine(s, true, index, value).c_str());
}

bool FitToWidth(Width width, uint32_t& value) {
  switch (width) {
    case Width::kNibble:
      return value <= 15;  // a 4-bit field: never sent as two digits or cut
    case Width::kByte:
      value &= 0xFF;  // the device takes the low 8 bits; the confirmation shows what was sent
      return true;
    case Width::kWord:
      return true;
  }
  return false;
}

void PromptSetting(const char* prompt, SettingId id, uint32_t index) {
  uint32_t value = 0;
  if (PromptNumber(prompt, value) && FitToWidth(SettingOf(id).width, value)) ChangeSetting(id, index, value);
}

}  // namespace control
