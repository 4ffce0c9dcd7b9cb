#include "control/settings/format.h"

#include "COM-KESTRAVO.h"
#include "control/common/device_texts.h"
#include "control/common/format.h"
#include "control/common/library_calls.h"

namespace control {
namespace {

// One row per member of the get/set family, in the order of SettingId (checked below).
constexpr Setting kSettings[] = {
    {SettingId::kOscillatorPeriod, "Getting oscillator period:\n", "Oscillator period: %u (%lEs, %lEHz)\n",
     "COM_KESTRAVO_GetOscillatorPeriod", GetPlain<uint32_t, COM_KESTRAVO_GetOscillatorPeriod>,
     "Setting oscillator period:\n", "Oscillator period set to %u (%lEs, %lEHz)\n",
     "COM_KESTRAVO_SetOscillatorPeriod", SetPlain<uint32_t, COM_KESTRAVO_SetOscillatorPeriod>, Shown::kPeriod,
     kOscillatorOffset, Width::kWord},
    {SettingId::kPulserDelay, "Getting pulser #%u delay:\n", "Pulse delay of pulser #%u: %u (%lEs)\n",
     "COM_KESTRAVO_GetPulserDelay", GetIndexed<uint32_t, COM_KESTRAVO_GetPulserDelay>,
     "Setting pulser #%u delay:\n", "Pulse delay of pulser #%u set to %u (%lEs)\n",
     "COM_KESTRAVO_SetPulserDelay", COM_KESTRAVO_SetPulserDelay, Shown::kSeconds, kPulserDelayOffset,
     Width::kWord},
    {SettingId::kPulserWidth, "Getting pulser #%u width:\n", "Pulse width of pulser #%u: %u (%lEs)\n",
     "COM_KESTRAVO_GetPulserWidth", GetIndexed<uint32_t, COM_KESTRAVO_GetPulserWidth>,
     "Setting pulser #%u width:\n", "Pulse width of pulser #%u set to %u (%lEs)\n",
     "COM_KESTRAVO_SetPulserWidth", COM_KESTRAVO_SetPulserWidth, Shown::kSeconds, kPulserWidthOffset,
     Width::kWord},
    {SettingId::kPulserBurst, "Getting pulser #%u burst size:\n", "Burst size of pulser #%u: %u\n",
     "COM_KESTRAVO_GetPulserBurst", GetIndexed<uint32_t, COM_KESTRAVO_GetPulserBurst>,
     "Setting pulser #%u burst size:\n", "Burst size of pulser #%u set to %u\n",
     "COM_KESTRAVO_SetPulserBurst", COM_KESTRAVO_SetPulserBurst, Shown::kNumber, 0, Width::kWord},
    {SettingId::kPulserConfig, "Getting configuration of pulser #%u:\n",
     "Configuration of pulser #%u: %u=%02Xh (", "COM_KESTRAVO_GetPulserConfig",
     GetIndexed<uint8_t, COM_KESTRAVO_GetPulserConfig>, "Setting configuration of pulser #%u:\n",
     "Configuration of pulser #%u set to %u=%02Xh (", "COM_KESTRAVO_SetPulserConfig",
     COM_KESTRAVO_SetPulserConfig, Shown::kSource, 0, Width::kByte},
    {SettingId::kSwitchTriggerConfig, "Getting configuration of switch #%u trigger:\n",
     "Configuration of switch #%u trigger: %u=%02Xh (", "COM_KESTRAVO_GetSwitchTriggerConfig",
     GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchTriggerConfig>,
     "Setting configuration of switch #%u trigger:\n",
     "Configuration of switch #%u trigger set to %u=%02Xh (", "COM_KESTRAVO_SetSwitchTriggerConfig",
     COM_KESTRAVO_SetSwitchTriggerConfig, Shown::kSource, 0, Width::kByte},
    {SettingId::kSwitchEnableConfig, "Getting configuration of switch #%u enable:\n",
     "Configuration of switch #%u enable: %u=%02Xh (", "COM_KESTRAVO_GetSwitchEnableConfig",
     GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchEnableConfig>, "Setting configuration of switch #%u enable:\n",
     "Configuration of switch #%u enable set to %u=%02Xh (", "COM_KESTRAVO_SetSwitchEnableConfig",
     COM_KESTRAVO_SetSwitchEnableConfig, Shown::kSource, 0, Width::kByte},
    // The read's format rounds to whole nanoseconds ("%1.lf"), the write's does not.
    {SettingId::kSwitchEnableDelay, "Getting delay of switch #%u enable:\n",
     "Delay of switch #%u enable: %u (%1.lfns)\n", "COM_KESTRAVO_GetSwitchEnableDelay",
     GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchEnableDelay>, "Setting delay of switch #%u enable:\n",
     "Delay of switch #%u enable set to %u (%.1lfns)\n", "COM_KESTRAVO_SetSwitchEnableDelay",
     COM_KESTRAVO_SetSwitchEnableDelay, Shown::kNanoseconds, 0, Width::kNibble},
    {SettingId::kSwitchTriggerMapping, "Getting mapping #%u of switch trigger:\n",
     "Mapping #%u of switch trigger: %u=%02Xh\n", "COM_KESTRAVO_GetSwitchTriggerMapping",
     GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchTriggerMapping>, "Setting mapping #%u of switch trigger:\n",
     "Mapping #%u of switch trigger set to %u=%02Xh\n", "COM_KESTRAVO_SetSwitchTriggerMapping",
     COM_KESTRAVO_SetSwitchTriggerMapping, Shown::kHex, 0, Width::kNibble},
    {SettingId::kSwitchEnableMapping, "Getting mapping #%u of switch enable:\n",
     "Mapping #%u of switch enable: %u=%02Xh\n", "COM_KESTRAVO_GetSwitchEnableMapping",
     GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchEnableMapping>, "Setting mapping #%u of switch enable:\n",
     "Mapping #%u of switch enable set to %u=%02Xh\n", "COM_KESTRAVO_SetSwitchEnableMapping",
     COM_KESTRAVO_SetSwitchEnableMapping, Shown::kHex, 0, Width::kNibble},
    {SettingId::kTriggerMappingEnable, "Getting enable bit of switch trigger mapping:\n",
     "Switch trigger mapping: %s\n", "COM_KESTRAVO_GetSwitchTriggerMappingEnable",
     GetPlain<uint8_t, COM_KESTRAVO_GetSwitchTriggerMappingEnable>,
     "Setting enable bit of switch trigger mapping:\n", "Switch trigger mapping set to %s\n",
     "COM_KESTRAVO_SetSwitchTriggerMappingEnable",
     SetPlain<uint8_t, COM_KESTRAVO_SetSwitchTriggerMappingEnable>, Shown::kEnabled, 0, Width::kWord},
    {SettingId::kEnableMappingEnable, "Getting enable bit of switch enable mapping:\n",
     "Switch enable mapping: %s\n", "COM_KESTRAVO_GetSwitchEnableMappingEnable",
     GetPlain<uint8_t, COM_KESTRAVO_GetSwitchEnableMappingEnable>,
     "Setting enable bit of switch enable mapping:\n", "Switch enable mapping set to %s\n",
     "COM_KESTRAVO_SetSwitchEnableMappingEnable",
     SetPlain<uint8_t, COM_KESTRAVO_SetSwitchEnableMappingEnable>, Shown::kEnabled, 0, Width::kWord},
    {SettingId::kDIOOutput, "Getting output DIO%u configuration:\n", "Output DIO%u configuration: %u=%02Xh (",
     "COM_KESTRAVO_GetOutputConfig", GetIndexed<uint8_t, COM_KESTRAVO_GetOutputConfig>,
     "Setting output DIO%u configuration:\n", "Output DIO%u configuration set to %u=%02Xh (",
     "COM_KESTRAVO_SetOutputConfig", COM_KESTRAVO_SetOutputConfig, Shown::kSource, 0, Width::kByte},
    {SettingId::kDeviceEnable, "Getting the enable state of the device:\n",
     "Enable state of the device: %s\n", "COM_KESTRAVO_GetDeviceEnable",
     GetPlain<int32_t, COM_KESTRAVO_GetDeviceEnable>, "Setting the enable state of the device:\n",
     "Enable state of the device set to: %s\n", "COM_KESTRAVO_SetDeviceEnable",
     SetPlain<int32_t, COM_KESTRAVO_SetDeviceEnable>, Shown::kOnOff, 0, Width::kWord},
};

// The rows stand in the order of SettingId, one for each.
constexpr bool RowsFollowTheIds() {
  size_t i = 0;
  for (const Setting& row : kSettings)
    if (size_t(row.id) != i++) return false;
  return i == size_t(SettingId::kDeviceEnable) + 1;
}
static_assert(RowsFollowTheIds(), "kSettings must hold one row per SettingId, in its order");

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename... Args>
std::string FormatRow(const char* format, Args... args) {
  return Format(format, args...);
}
#pragma GCC diagnostic pop

char Flag(uint32_t word, int bit, bool yes_no) {
  const bool on = (word >> bit & 1) != 0;
  return yes_no ? (on ? 'Y' : 'N') : (on ? '1' : '0');
}

}  // namespace

double OscillatorSeconds(uint32_t r) { return double(uint64_t(r) + kOscillatorOffset) * 1e-8; }
double PulserDelaySeconds(uint32_t r) { return double(uint64_t(r) + kPulserDelayOffset) * 1e-8; }
double PulserWidthSeconds(uint32_t r) { return double(uint64_t(r) + kPulserWidthOffset) * 1e-8; }
double SwitchDelayNs(uint32_t r) { return r * 0.5; }

std::string SourceConfigText(uint32_t byte) {
  return std::string((byte & 0x20) ? "negated " : "") + SourceName(byte & 0x1F);
}

const Setting& SettingOf(SettingId id) { return kSettings[size_t(id)]; }

std::string SettingLine(const Setting& s, bool set, uint32_t index, uint32_t value) {
  const char* line = set ? s.set_line : s.get_line;
  switch (s.shown) {
    case Shown::kPeriod: {
      const double seconds = OscillatorSeconds(value);
      return FormatRow(line, value, seconds, 1.0 / seconds);
    }
    case Shown::kSeconds:
      return FormatRow(line, index, value, double(uint64_t(value) + s.offset) * 1e-8);
    case Shown::kNumber:
      return FormatRow(line, index, value);
    case Shown::kSource:
      return FormatRow(line, index, value, value) + SourceConfigText(value) + ")\n";
    case Shown::kHex:
      return FormatRow(line, index, value, value);
    case Shown::kNanoseconds:
      return FormatRow(line, index, value, SwitchDelayNs(value));
    case Shown::kEnabled:
      return FormatRow(line, value ? "enabled" : "disabled");
    case Shown::kOnOff:
      return FormatRow(line, value ? "on" : "off");
  }
  return "";
}

std::string TriggerDelayLine(bool rise, bool set, uint32_t sw, uint32_t value) {
  const char* what = rise ? "Rise" : "Fall";
  return set ? Format("%s delay of switch #%u trigger set to %u (%.1lfns)\n", what, sw, value,
                      SwitchDelayNs(value))
             : Format("%s delay of switch #%u trigger: %u (%.1lfns)\n", what, sw, value,
                      SwitchDelayNs(value));
}

const char* DIODirection(uint8_t outputs, uint8_t terminations, unsigned d) {
  if (outputs >> d & 1) return "output";
  if (terminations >> d & 1) return "terminated input";
  return "input";
}

std::string ControllerStateText(uint16_t s) {
  return Format("Controller state: %04Xh\n", s) +
         Format("\tdevice enable:          %c\toscillator enable: %c\tpulser enable:    %c\n",
                Flag(s, 0, true), Flag(s, 1, true), Flag(s, 2, true)) +
         Format("\tprevent device disable: %c\tdevice enabled:    %c\tmaster enable:    %c\n",
                Flag(s, 5, true), Flag(s, 10, true), Flag(s, 8, true)) +
         Format("\tsoftware trigger:       %c\tsoftware pulse:    %c\tsoft trigger out: %c\n",
                Flag(s, 3, false), Flag(s, 4, false), Flag(s, 9, false)) +
         Format("\tdithering disable:      %c\n", Flag(s, 6, true));
}

std::string ControllerConfigText(uint32_t c) {
  return Format("Controller configuration set to %04Xh\n", c) +
         Format("  device enable:          %c\t", Flag(c, 0, true)) +
         Format("  oscillator enable: %c\t", Flag(c, 1, true)) +
         Format("  pulser enable: %c\n", Flag(c, 2, true)) +
         Format("  prevent device disable: %c\t", Flag(c, 5, true)) +
         Format("  dithering disable: %c\n", Flag(c, 6, true)) +
         Format("  software trigger:       %c\t", Flag(c, 3, false)) +
         Format("  software pulse:    %c\n", Flag(c, 4, false));
}

std::string SoftwareTriggerText(uint16_t s, uint16_t a, uint16_t b) {
  return Format("Controller configuration set to %04Xh->%04Xh->%04Xh\n", s, a, b) +
         Format("  software trigger: %c->%c->%c\n", Flag(s, 3, false), Flag(a, 3, false), Flag(b, 3, false)) +
         Format("  software pulse:   %c->%c->%c\n", Flag(s, 4, false), Flag(a, 4, false), Flag(b, 4, false));
}

std::string DataRateText(uint32_t device, uint32_t requested) {
  return Format("Data rate set to %u baud (device), %u baud (PC)\n", device, requested);
}

}  // namespace control
