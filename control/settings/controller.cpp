// The controller: its state word and configuration byte, the software trigger and the device
// enable.
#include <cctype>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/state.h"
#include "control/settings/settings.h"
#include "model/settings.h"
#include "platform/clock.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

bool ReadState(uint16_t& state) {
  return Succeeded(COM_KESTRAVO_GetControllerState(State.PortNumber, &state),
                   "COM_KESTRAVO_GetControllerState");
}

// The continuous display: the word on the first line, the bits on four lines below.
void WatchControllerState() {
  DisplayFrame frame(false);
  const int word = frame.Label("Controller state: ");
  frame.Label("%04Xh", 0u);
  if (!State.quiet) frame.TerminalText(", press 'Esc' to quit");
  // The bits in the order of their labels: (bit, shown as Y/N).
  struct Field {
    const char* label;
    int bit;
    bool yes_no;
  };
  static const Field kFields[] = {
      {"\n\tdevice enable:          ", 0, true},   {" \toscillator enable: ", 1, true},
      {" \tpulser enable:    ", 2, true},          {" \n\tprevent device disable: ", 5, true},
      {" \tdevice enabled:    ", 10, true},        {" \tmaster enable:    ", 8, true},
      {" \n\tsoftware trigger:       ", 3, false}, {" \tsoftware pulse:    ", 4, false},
      {" \tsoft trigger out: ", 9, false},         {" \n\tdithering disable:      ", 6, true},
  };
  int fields[sizeof kFields / sizeof *kFields];
  for (size_t i = 0; i < sizeof kFields / sizeof *kFields; ++i)
    fields[i] = frame.Label("%s", kFields[i].label);
  // A pass first, then a look at the keys: every display shows the device's values at least once.
  for (;;) {
    frame.BeginPass();
    uint16_t s = 0;
    if (COM_KESTRAVO_GetControllerState(State.PortNumber, &s) != 0)
      return frame.Failed("COM_KESTRAVO_GetControllerState");  // the display ends with the line
    frame.Value(word, "%04Xh", unsigned(s));
    for (size_t i = 0; i < sizeof kFields / sizeof *kFields; ++i) {
      const bool on = (s >> kFields[i].bit & 1) != 0;
      frame.Value(fields[i], "%c", kFields[i].yes_no ? (on ? 'Y' : 'N') : (on ? '1' : '0'));
    }
    frame.Record("controller_state", WordJson(s, model::kControllerBits));
    frame.EndPass();
    if (!frame.NextPass(1)) return frame.End();
  }
}

// -A/-a: the four characters TtPp, each '0' or '1', give the masks; false for anything else.
bool TriggerMasks(const char* text, uint32_t& start, uint32_t& stop) {
  for (int i = 0; i < 4; ++i)
    if (text[i] != '0' && text[i] != '1') return false;
  if (text[4] != 0) return false;
  start = (text[0] == '1' ? 0x08u : 0u) | (text[2] == '1' ? 0x10u : 0u);
  stop = (text[1] == '1' ? 0x08u : 0u) | (text[3] == '1' ? 0x10u : 0u);
  return true;
}

}  // namespace

void ShowControllerState(bool continuous) {
  if (continuous) return WatchControllerState();
  uint16_t s = 0;
  if (!ReadState(s)) return;
  if (State.json) return JsonRecord("controller_state", WordJson(s, model::kControllerBits));
  Print("%s", ControllerStateText(s).c_str());
}

void SetControllerState(uint32_t config) {
  Progress("Setting controller configuration:\n");
  uint16_t s = 0;
  if (!ReadState(s)) return;
  if (!Succeeded(COM_KESTRAVO_SetControllerConfig(State.PortNumber, config),
                 "COM_KESTRAVO_SetControllerConfig"))
    return;
  Print("%s", ControllerConfigText(config).c_str());
}

// Two writes that keep every other configuration bit as read: the start pattern, then the stop
// pattern, both from the state read first.
void IssueSoftwareTrigger(uint32_t start, uint32_t stop) {
  Progress("Setting software trigger:\n");
  uint16_t s = 0;
  if (!ReadState(s)) return;
  const uint16_t a = model::TriggerPattern(s, start);
  if (!Succeeded(COM_KESTRAVO_SetControllerConfig(State.PortNumber, a & 0xFF),
                 "COM_KESTRAVO_SetControllerConfig"))
    return;
  const uint16_t b = model::TriggerPattern(s, stop);
  if (!Succeeded(COM_KESTRAVO_SetControllerConfig(State.PortNumber, b & 0xFF),
                 "COM_KESTRAVO_SetControllerConfig"))
    return;
  Print("%s", SoftwareTriggerText(s, a, b).c_str());
}

void ShowDeviceEnable() { ShowSetting(SettingId::kDeviceEnable); }

// -W, -w: show (continuously for 'W'); -Wv, -wv: set, v not above 255.
int ControllerSwitch(SwitchArgs& a) {
  if (*a.rest == 0) {
    if (OpenDevicePort()) ShowControllerState(!a.small());
    return kParsed;
  }
  uint32_t v = 0;
  if (!SwitchNumber(a.rest, v) || v > 255) return a.index;
  if (OpenDevicePort()) SetControllerState(v);
  return kParsed;
}

// -A, -a; -ATtPp, -aTtPp. A switch that does not parse never fires the trigger.
int SoftwareTriggerSwitch(SwitchArgs& a) {
  uint32_t start = a.small() ? 0x10 : 0x18, stop = a.small() ? 0x00 : 0x08;
  if (*a.rest != 0 && !TriggerMasks(a.rest, start, stop)) return a.index;
  if (OpenDevicePort()) IssueSoftwareTrigger(start, stop);
  return kParsed;
}

// -J: show; -JY, -Jy, -JN, -Jn: set (later characters are ignored).
int DeviceEnableSwitch(SwitchArgs& a) {
  if (*a.rest == 0) return RunWithoutCharacters(a, ShowDeviceEnable);
  const int c = std::toupper(static_cast<unsigned char>(a.rest[0]));
  if (c != 'Y' && c != 'N') return a.index;
  if (OpenDevicePort()) ChangeSetting(SettingId::kDeviceEnable, 0, c == 'Y');
  return kParsed;
}

void ControllerStateKey() { ShowControllerState(true); }

void ControllerConfigKey() {
  uint32_t v = 0;
  if (PromptNumber("Enter the configuration: ", v)) SetControllerState(v & 0xFF);
}

void SoftwareTriggerKey() { IssueSoftwareTrigger(0x10, 0x00); }

void SoftwareTriggerDialogue() {
  Print("Enter the software-trigger configuration:\n");
  uint32_t masks[2] = {0, 0};  // start, stop
  FlushKeys();
  struct Question {
    const char* text;
    int mask;
    uint32_t bit;
  };
  static const Question kQuestions[] = {
      {"  software trigger start [1/0]: ", 0, 0x08},
      {"  software trigger stop  [1/0]: ", 1, 0x08},
      {"  software pulse start   [1/0]: ", 0, 0x10},
      {"  software pulse stop    [1/0]: ", 1, 0x10},
  };
  for (const Question& q : kQuestions) {
    Print("%s", q.text);
    char c = 0;
    if (!PromptCharacter(c) || (c != '0' && c != '1')) return;
    if (c == '1') masks[q.mask] |= q.bit;
  }
  IssueSoftwareTrigger(masks[0], masks[1]);
}

void DeviceEnableDialogue() {
  Print("Press 'Y'/'N' to turn the enable state of the device on/off: ");
  const int c = SelectLetter("YN");
  if (c < 0) return;
  Print("%c\n", c);
  ChangeSetting(SettingId::kDeviceEnable, 0, c == 'Y');
}

}  // namespace control
