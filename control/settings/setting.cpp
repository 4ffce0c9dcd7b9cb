// The one routine behind every member of the get/set family, and the switch rows that reach it.
#include <cctype>

#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/state.h"
#include "control/settings/settings.h"
#include "model/device_texts.h"
#include "model/settings.h"
#include "platform/terminal.h"

namespace control {

bool ReadSetting(SettingId id, uint32_t index, uint32_t& value, const char* debug_line) {
  const model::SettingInfo& s = model::SettingOf(id);
  // The DIOs' directions and the controller configuration have no line of their own.
  if (const char* line = debug_line ? debug_line : TextsOf(id).get_debug) Progress(line, index);
  return Succeeded(s.get(State.PortNumber, index, value), s.get_call);
}

namespace {

// A setting as scripts read it: its catalogue name, index and raw value, its unit, and what the
// value stands for (seconds for times, the hertz of the oscillator, the source, the direction).
model::JsonObject SettingJson(SettingId id, uint32_t index, uint32_t value) {
  const model::SettingInfo& s = model::SettingOf(id);
  model::JsonObject o;
  o.Text("name", s.name).Integer("index", index).Integer("raw", value).Text("unit", model::UnitName(s.unit));
  if (s.unit == model::Unit::kTime) o.Number("seconds", model::SecondsOf(s, value));
  if (id == SettingId::kOscillatorPeriod) o.Number("hertz", 1.0 / model::SecondsOf(s, value));
  if (s.unit == model::Unit::kSource) o.Text("source", model::SourceConfigText(value));
  if (id == SettingId::kDIODirection) o.Text("direction", model::DIODirectionName(value));
  if (s.unit == model::Unit::kSwitch) o.Bool("on", value != 0);
  return o;
}

}  // namespace

void ShowSetting(SettingId id, uint32_t index) {
  uint32_t value = 0;
  if (!ReadSetting(id, index, value)) return;
  if (State.json) return JsonSetting(SettingJson(id, index, value));
  platform::Print("%s", SettingLine(id, false, index, value).c_str());
}

bool ShowSettingsJson(std::initializer_list<SettingId> ids) {
  if (!State.json) return false;
  for (SettingId id : ids)
    for (uint32_t i = 0; i < model::SettingOf(id).count && !StopRequested(); ++i) {
      uint32_t value = 0;
      if (!ReadSetting(id, i, value)) return true;
      JsonSetting(SettingJson(id, i, value));
    }
  return true;
}

void ChangeSetting(SettingId id, uint32_t index, uint32_t value) {
  // The rise and fall delays travel together: their own routine reads the other one first.
  if (id == SettingId::kSwitchRiseDelay || id == SettingId::kSwitchFallDelay)
    return SetSwitchTriggerDelay(id == SettingId::kSwitchRiseDelay, index, value);
  const model::SettingInfo& s = model::SettingOf(id);
  Progress(TextsOf(id).set_debug, index);
  if (!Succeeded(s.set(State.PortNumber, index, value), s.set_call)) return;
  platform::Print("%s", SettingLine(id, true, index, value).c_str());
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
  if (PromptNumber(prompt, value) && FitToWidth(TextsOf(id).width, value)) ChangeSetting(id, index, value);
}

char HighestIndexDigit(SettingId id) { return char('0' + model::SettingOf(id).count - 1); }

int RunIndexedSwitch(SwitchArgs& a, const IndexedSwitchRow* rows, size_t count) {
  const char sub = a.rest[0] ? a.rest[1] : 0;
  for (size_t i = 0; i < count; ++i) {
    const IndexedSwitchRow& row = rows[i];
    const bool set = sub == row.letter;
    if (!set && sub != std::tolower(row.letter)) continue;
    const int x = IndexDigit(a.rest, HighestIndexDigit(row.id));
    if (x < 0) return a.index;
    // A field narrower than a word takes no value above its highest; a word takes any 32-bit number.
    const uint64_t limit =
        TextsOf(row.id).width == Width::kWord ? 0 : uint64_t(model::SettingOf(row.id).highest) + 1;
    uint32_t v = 0;
    if (set ? !SwitchNumber(a.rest + 2, v) || (limit && v >= limit) : a.rest[2] != 0) return a.index;
    if (!OpenDevicePort()) return kParsed;
    if (set)
      ChangeSetting(row.id, uint32_t(x), v);
    else
      ShowSetting(row.id, uint32_t(x));
    return kParsed;
  }
  return a.index;
}

}  // namespace control
