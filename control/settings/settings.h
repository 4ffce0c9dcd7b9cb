// Settings displays and edits: the routines that show and change the device's settings, their
// switch handlers (with the command line's range checks) and their keys, dialogues and menus.
// Each family lives in a file of its own beside this header.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "control/common/switch_args.h"
#include "control/settings/format.h"

namespace control {

// The get/set family, driven by its table row: progress line, library call, result line.
// ReadSetting only reads (with another progress line where given); false after a reported failure.
bool ReadSetting(SettingId id, uint32_t index, uint32_t& value, const char* debug_line = nullptr);
void ShowSetting(SettingId id, uint32_t index = 0);
// Under --json: reads every index of the settings and gives them to the running switch's object
// (a failure ends it with its error object); true. False without --json: the caller shows them.
bool ShowSettingsJson(std::initializer_list<SettingId> ids);
void ChangeSetting(SettingId id, uint32_t index, uint32_t value);
// The rows that follow a letter with an index digit and a sub-letter (-P2D1000, -R1t): the
// capital sub-letter sets the setting to a number that fills the switch (within its field unless
// it is a word), the small one shows it. The digit runs over the setting's indices.
struct IndexedSwitchRow {
  char letter;  // capital
  SettingId id;
  const char* menu_name;  // the menus' name and prompt of the same choice
  const char* prompt;
};
int RunIndexedSwitch(SwitchArgs& a, const IndexedSwitchRow* rows, size_t count);
template <size_t N>
int RunIndexedSwitch(SwitchArgs& a, const IndexedSwitchRow (&rows)[N]) {
  return RunIndexedSwitch(a, rows, N);
}
// '0' + the setting's highest index.
char HighestIndexDigit(SettingId id);

// A number prompt for a setting's new value; a value wider than the setting's field ends the
// command without a call (a 4-bit field above 15), a byte is sent as its low 8 bits.
void PromptSetting(const char* prompt, SettingId id, uint32_t index);
// What a key prompt's value becomes for a field of this width; false when it does not fit.
bool FitToWidth(Width width, uint32_t& value);

// Oscillator and data rate.
void ShowOscillatorPeriod();
void SetDataRate(uint32_t baud);
int OscillatorSwitch(SwitchArgs& a);
int DataRateSwitch(SwitchArgs& a);
void OscillatorKey();
void DataRateKey();

// Pulsers.
void ShowPulsers();
int PulserSwitch(SwitchArgs& a);
void PulserMenu();

// High-voltage switches.
void ShowSwitches();
void SetSwitchTriggerDelay(bool rise, uint32_t sw, uint32_t value);
int SwitchSettingsSwitch(SwitchArgs& a);
void SwitchMenu();

// DIOs.
void ShowDIOs();
void ShowDIOInput(uint32_t d);
void SetDIOInput(uint32_t d, bool output, bool termination);
void SetDIOOutput(uint32_t d, uint32_t value);
int DIOSwitch(SwitchArgs& a);
void DIOMenu();

// Controller, software trigger and device enable.
void ShowControllerState(bool continuous);
void SetControllerState(uint32_t config);
void IssueSoftwareTrigger(uint32_t start, uint32_t stop);
void ShowDeviceEnable();
int ControllerSwitch(SwitchArgs& a);
int SoftwareTriggerSwitch(SwitchArgs& a);
int DeviceEnableSwitch(SwitchArgs& a);
void ControllerStateKey();
void ControllerConfigKey();
void SoftwareTriggerKey();
void SoftwareTriggerDialogue();
void DeviceEnableDialogue();

}  // namespace control
