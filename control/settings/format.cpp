#include "control/settings/format.h"

#include "model/device_texts.h"
#include "model/format.h"
#include "model/settings.h"

namespace control {
namespace {

using model::Format;

// One row per setting of the catalogue, in the order of SettingId (checked below).
constexpr SettingTexts kTexts[] = {
    {SettingId::kOscillatorPeriod, "Getting oscillator period:\n", "Oscillator period: %u (%lEs, %lEHz)\n",
     "Setting oscillator period:\n", "Oscillator period set to %u (%lEs, %lEHz)\n", Shown::kPeriod,
     Width::kWord},
    {SettingId::kPulserDelay, "Getting pulser #%u delay:\n", "Pulse delay of pulser #%u: %u (%lEs)\n",
     "Setting pulser #%u delay:\n", "Pulse delay of pulser #%u set to %u (%lEs)\n", Shown::kSeconds,
     Width::kWord},
    {SettingId::kPulserWidth, "Getting pulser #%u width:\n", "Pulse width of pulser #%u: %u (%lEs)\n",
     "Setting pulser #%u width:\n", "Pulse width of pulser #%u set to %u (%lEs)\n", Shown::kSeconds,
     Width::kWord},
    {SettingId::kPulserBurst, "Getting pulser #%u burst size:\n", "Burst size of pulser #%u: %u\n",
     "Setting pulser #%u burst size:\n", "Burst size of pulser #%u set to %u\n", Shown::kNumber,
     Width::kWord},
    {SettingId::kPulserConfig, "Getting configuration of pulser #%u:\n",
     "Configuration of pulser #%u: %u=%02Xh (", "Setting configuration of pulser #%u:\n",
     "Configuration of pulser #%u set to %u=%02Xh (", Shown::kSource, Width::kByte},
    {SettingId::kSwitchTriggerConfig, "Getting configuration of switch #%u trigger:\n",
     "Configuration of switch #%u trigger: %u=%02Xh (", "Setting configuration of switch #%u trigger:\n",
     "Configuration of switch #%u trigger set to %u=%02Xh (", Shown::kSource, Width::kByte},
    {SettingId::kSwitchEnableConfig, "Getting configuration of switch #%u enable:\n",
     "Configuration of switch #%u enable: %u=%02Xh (", "Setting configuration of switch #%u enable:\n",
     "Configuration of switch #%u enable set to %u=%02Xh (", Shown::kSource, Width::kByte},
    // The read's format rounds to whole nanoseconds ("%1.lf"), the write's does not.
    {SettingId::kSwitchEnableDelay, "Getting delay of switch #%u enable:\n",
     "Delay of switch #%u enable: %u (%1.lfns)\n", "Setting delay of switch #%u enable:\n",
     "Delay of switch #%u enable set to %u (%.1lfns)\n", Shown::kNanoseconds, Width::kNibble},
    // The rise and fall delays are read together; a change reads both first (its own routine).
    {SettingId::kSwitchRiseDelay, "Getting delays of switch #%u trigger:\n",
     "Rise delay of switch #%u trigger: %u (%.1lfns)\n", "Setting rise delay of switch #%u trigger:\n",
     "Rise delay of switch #%u trigger set to %u (%.1lfns)\n", Shown::kNanoseconds, Width::kNibble},
    {SettingId::kSwitchFallDelay, "Getting delays of switch #%u trigger:\n",
     "Fall delay of switch #%u trigger: %u (%.1lfns)\n", "Setting fall delay of switch #%u trigger:\n",
     "Fall delay of switch #%u trigger set to %u (%.1lfns)\n", Shown::kNanoseconds, Width::kNibble},
    {SettingId::kSwitchTriggerMapping, "Getting mapping #%u of switch trigger:\n",
     "Mapping #%u of switch trigger: %u=%02Xh\n", "Setting mapping #%u of switch trigger:\n",
     "Mapping #%u of switch trigger set to %u=%02Xh\n", Shown::kHex, Width::kNibble},
    {SettingId::kSwitchEnableMapping, "Getting mapping #%u of switch enable:\n",
     "Mapping #%u of switch enable: %u=%02Xh\n", "Setting mapping #%u of switch enable:\n",
     "Mapping #%u of switch enable set to %u=%02Xh\n", Shown::kHex, Width::kNibble},
    {SettingId::kTriggerMappingEnable, "Getting enable bit of switch trigger mapping:\n",
     "Switch trigger mapping: %s\n", "Setting enable bit of switch trigger mapping:\n",
     "Switch trigger mapping set to %s\n", Shown::kEnabled, Width::kWord},
    {SettingId::kEnableMappingEnable, "Getting enable bit of switch enable mapping:\n",
     "Switch enable mapping: %s\n", "Setting enable bit of switch enable mapping:\n",
     "Switch enable mapping set to %s\n", Shown::kEnabled, Width::kWord},
    {SettingId::kDIOOutput, "Getting output DIO%u configuration:\n", "Output DIO%u configuration: %u=%02Xh (",
     "Setting output DIO%u configuration:\n", "Output DIO%u configuration set to %u=%02Xh (", Shown::kSource,
     Width::kByte},
    // The DIOs' directions and the controller configuration have routines and texts of their own
    // in their families.
    {SettingId::kDIODirection, nullptr, nullptr, nullptr, nullptr, Shown::kNone, Width::kNibble},
    {SettingId::kControllerConfig, nullptr, nullptr, nullptr, nullptr, Shown::kNone, Width::kByte},
    {SettingId::kDeviceEnable, "Getting the enable state of the device:\n",
     "Enable state of the device: %s\n", "Setting the enable state of the device:\n",
     "Enable state of the device set to: %s\n", Shown::kOnOff, Width::kWord},
};

// The rows stand in the order of SettingId, one for each.
constexpr bool RowsFollowTheIds() {
  size_t i = 0;
  for (const SettingTexts& row : kTexts)
    if (size_t(row.id) != i++) return false;
  return i == model::kSettingCount;
}
static_assert(RowsFollowTheIds(), "kTexts must hold one row per SettingId, in its order");

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename... Args>
std::string FormatRow(const char* format, Args... args) {
  return model::Format(format, args...);
}
#pragma GCC diagnostic pop

char Flag(uint32_t word, int bit, bool yes_no) {
  const bool on = (word >> bit & 1) != 0;
  return yes_no ? (on ? 'Y' : 'N') : (on ? '1' : '0');
}

}  // namespace

const SettingTexts& TextsOf(SettingId id) { return kTexts[size_t(id)]; }

std::string SettingLine(SettingId id, bool set, uint32_t index, uint32_t value) {
  const SettingTexts& s = TextsOf(id);
  const char* line = set ? s.set_line : s.get_line;
  switch (s.shown) {
    case Shown::kPeriod: {
      const double seconds = model::OscillatorSeconds(value);
      return FormatRow(line, value, seconds, 1.0 / seconds);
    }
    case Shown::kSeconds:
      return FormatRow(line, index, value, model::SecondsOf(model::SettingOf(id), value));
    case Shown::kNumber:
      return FormatRow(line, index, value);
    case Shown::kSource:
      return FormatRow(line, index, value, value) + model::SourceConfigText(value) + ")\n";
    case Shown::kHex:
      return FormatRow(line, index, value, value);
    case Shown::kNanoseconds:
      return FormatRow(line, index, value, model::SwitchDelayNs(value));
    case Shown::kEnabled:
      return FormatRow(line, value ? "enabled" : "disabled");
    case Shown::kOnOff:
      return FormatRow(line, value ? "on" : "off");
    case Shown::kNone:
      return "";
  }
  return "";
}

std::string ControllerStateText(uint16_t s) {
  return model::Format("Controller state: %04Xh\n", s) +
         model::Format("\tdevice enable:          %c\toscillator enable: %c\tpulser enable:    %c\n",
                       Flag(s, 0, true), Flag(s, 1, true), Flag(s, 2, true)) +
         model::Format("\tprevent device disable: %c\tdevice enabled:    %c\tmaster enable:    %c\n",
                       Flag(s, 5, true), Flag(s, 10, true), Flag(s, 8, true)) +
         model::Format("\tsoftware trigger:       %c\tsoftware pulse:    %c\tsoft trigger out: %c\n",
                       Flag(s, 3, false), Flag(s, 4, false), Flag(s, 9, false)) +
         model::Format("\tdithering disable:      %c\n", Flag(s, 6, true));
}

std::string ControllerConfigText(uint32_t c) {
  return model::Format("Controller configuration set to %04Xh\n", c) +
         model::Format("  device enable:          %c\t", Flag(c, 0, true)) +
         model::Format("  oscillator enable: %c\t", Flag(c, 1, true)) +
         model::Format("  pulser enable: %c\n", Flag(c, 2, true)) +
         model::Format("  prevent device disable: %c\t", Flag(c, 5, true)) +
         model::Format("  dithering disable: %c\n", Flag(c, 6, true)) +
         model::Format("  software trigger:       %c\t", Flag(c, 3, false)) +
         model::Format("  software pulse:    %c\n", Flag(c, 4, false));
}

std::string SoftwareTriggerText(uint16_t s, uint16_t a, uint16_t b) {
  return model::Format("Controller configuration set to %04Xh->%04Xh->%04Xh\n", s, a, b) +
         model::Format("  software trigger: %c->%c->%c\n", Flag(s, 3, false), Flag(a, 3, false),
                       Flag(b, 3, false)) +
         model::Format("  software pulse:   %c->%c->%c\n", Flag(s, 4, false), Flag(a, 4, false),
                       Flag(b, 4, false));
}

std::string DataRateText(uint32_t device, uint32_t requested) {
  return model::Format("Data rate set to %u baud (device), %u baud (PC)\n", device, requested);
}

}  // namespace control
