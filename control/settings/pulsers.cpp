// The pulsers: delays, widths, burst sizes and the six trigger and stop sources.
#include "control/common/console.h"
#include "control/common/state.h"
#include "control/settings/settings.h"
#include "model/device_texts.h"
#include "model/settings.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

constexpr unsigned kPulsers = 4, kBursts = 2, kConfigs = 6;

// The pulser each configuration entry belongs to, and whether it is its stop source.
constexpr unsigned kConfigPulser[kConfigs] = {0, 0, 1, 1, 2, 3};
constexpr bool kConfigStop[kConfigs] = {false, true, false, true, false, false};

// Reads a group completely; false after the first failure (reported).
template <size_t N>
bool ReadGroup(SettingId id, uint32_t (&values)[N], const char* debug_line = nullptr) {
  for (uint32_t i = 0; i < N; ++i)
    if (!ReadSetting(id, i, values[i], debug_line)) return false;
  return true;
}

void PrintTimes(const char* title, const uint32_t (&raw)[kPulsers], double (*seconds)(uint32_t)) {
  Print("%s", title);
  for (unsigned p = 0; p < kPulsers; ++p)
    Print(p + 1 < kPulsers ? "\t#%u: %u (%lEs)," : "\t#%u: %u (%lEs)\n", p, raw[p], seconds(raw[p]));
}

// The rows of the 'P' switch after the pulser digit, and the choices of the pulser menu.
constexpr IndexedSwitchRow kPulserRows[] = {
    {'D', SettingId::kPulserDelay, "Delay\n", "Enter the pulse delay: "},
    {'W', SettingId::kPulserWidth, "Width\n", "Enter the pulse width: "},
    {'B', SettingId::kPulserBurst, "Burst size\n", "Enter the burst size: "},
    {'C', SettingId::kPulserConfig, "Configuration\n", "Enter the configuration: "},
};

}  // namespace

void ShowPulsers() {
  if (ShowSettingsJson({SettingId::kPulserDelay, SettingId::kPulserWidth, SettingId::kPulserBurst,
                        SettingId::kPulserConfig}))
    return;
  uint32_t delays[kPulsers], widths[kPulsers], bursts[kBursts], configs[kConfigs];
  if (!ReadGroup(SettingId::kPulserDelay, delays)) return;
  PrintTimes("Pulser delays:", delays, model::PulserDelaySeconds);
  if (!ReadGroup(SettingId::kPulserWidth, widths)) return;
  PrintTimes("Pulser widths:", widths, model::PulserWidthSeconds);
  if (!ReadGroup(SettingId::kPulserBurst, bursts)) return;
  Print("Pulser burst sizes:");
  Print("\t#%u: %u,", 0u, bursts[0]);
  Print("\t#%u: %u\n", 1u, bursts[1]);
  if (!ReadGroup(SettingId::kPulserConfig, configs, "Getting pulser #%u configuration:\n")) return;
  Print("Pulser configurations:\n");
  for (unsigned c = 0; c < kConfigs; ++c) {
    Print("\t%u (#%u-%s): %02Xh (", c, kConfigPulser[c], kConfigStop[c] ? "stop" : "trig", configs[c]);
    Print("%s)", model::SourceConfigText(configs[c]).c_str());
    if (c % 2 == 1) Print("\n");
  }
}

// -P; -PxDv/-Pxd, -PxWv/-Pxw, -PxBv/-Pxb, -PxCv/-Pxc.
int PulserSwitch(SwitchArgs& a) {
  if (*a.rest == 0) return RunWithoutCharacters(a, ShowPulsers);
  return RunIndexedSwitch(a, kPulserRows);
}

void PulserMenu() {
  Print(
      "Press 'P' to display pulser settings, 'D' to set the delay,\n      'W' to set the width, 'B' to set "
      "the "
      "burst size,\n      'C' to set the configuration: ");
  const int choice = SelectLetter("PDWBC");
  if (choice < 0) return;
  if (choice == 'P') {
    Print("\n");
    return ShowPulsers();
  }
  for (const IndexedSwitchRow& c : kPulserRows) {
    if (c.letter != choice) continue;
    Print("%s", c.menu_name);
    const char highest = HighestIndexDigit(c.id);
    Print("Press 0-%c to select the pulser: ", highest);
    const int pulser = SelectDigit(highest, false);
    if (pulser < 0) return;
    return PromptSetting(c.prompt, c.id, uint32_t(pulser));
  }
}

}  // namespace control
