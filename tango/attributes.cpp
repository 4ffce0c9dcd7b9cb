#include "tango/attributes.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "model/device_texts.h"
#include "model/format.h"

namespace tango_server {
namespace {

using model::Readings;
using model::SettingId;

// The attribute names of each setting: a pattern with the index, or one name per index.
struct SettingNames {
  SettingId id;
  const char* pattern;
  const char* const* names;
  const char* description;  // with the index where the pattern has it
};
const char* const kPulserSources[] = {"Pulser0TriggerSource", "Pulser0StopSource",    "Pulser1TriggerSource",
                                      "Pulser1StopSource",    "Pulser2TriggerSource", "Pulser3TriggerSource"};
const char* const kPulserSourceTexts[] = {"pulser 0 trigger source", "pulser 0 stop source",
                                          "pulser 1 trigger source", "pulser 1 stop source",
                                          "pulser 2 trigger source", "pulser 3 trigger source"};
// clang-format off
const SettingNames kSettingNames[] = {
  {SettingId::kOscillatorPeriod, "OscillatorPeriod", nullptr, "The oscillator's period"},
  {SettingId::kPulserDelay, "Pulser%uDelay", nullptr, "Pulser %u's delay after its trigger"},
  {SettingId::kPulserWidth, "Pulser%uWidth", nullptr, "Pulser %u's pulse width"},
  {SettingId::kPulserBurst, "Pulser%uBurst", nullptr, "Pulser %u's burst size (pulses per trigger)"},
  {SettingId::kPulserConfig, nullptr, kPulserSources, "The source of the %s (bit 5 negates)"},
  {SettingId::kSwitchTriggerConfig, "Switch%uTriggerSource", nullptr, "Switch %u's trigger source"},
  {SettingId::kSwitchEnableConfig, "Switch%uEnableSource", nullptr, "Switch %u's enable source"},
  {SettingId::kSwitchEnableDelay, "Switch%uEnableDelay", nullptr, "Switch %u's enable delay"},
  {SettingId::kSwitchRiseDelay, "Switch%uRiseDelay", nullptr, "Switch %u's trigger rise delay"},
  {SettingId::kSwitchFallDelay, "Switch%uFallDelay", nullptr, "Switch %u's trigger fall delay"},
  {SettingId::kSwitchTriggerMapping, "TriggerMapping%u", nullptr, "Entry %u of the trigger mapping table"},
  {SettingId::kSwitchEnableMapping, "EnableMapping%u", nullptr, "Entry %u of the enable mapping table"},
  {SettingId::kTriggerMappingEnable, "TriggerMappingEnable", nullptr, "The trigger mapping table in use"},
  {SettingId::kEnableMappingEnable, "EnableMappingEnable", nullptr, "The enable mapping table in use"},
  {SettingId::kDIOOutput, "DIO%uSource", nullptr, "The source DIO %u puts out as an output"},
  {SettingId::kDIODirection, "DIO%uDirection", nullptr, "DIO %u's direction and termination"},
  {SettingId::kControllerConfig, "ControllerConfig", nullptr, "The controller configuration byte"},
  {SettingId::kDeviceEnable, "DeviceEnable", nullptr, "The device enable"},
};
// clang-format on
static_assert(std::size(kSettingNames) == model::kSettingCount, "names for every setting");

// A source byte's label: the console's text, unique also for indices past the source table.
std::string SourceLabel(uint32_t raw) {
  const uint32_t index = raw & 0x1F;
  if (index < model::kDIOSources) return model::SourceConfigText(raw);
  return model::Format("%sundefined %u", (raw & 0x20) ? "negated " : "", index);
}

std::string Exact(double v) { return model::Format("%.17g", v); }

AttributeRow SettingRow(const SettingNames& n, const model::SettingInfo& s, uint32_t i) {
  AttributeRow row;
  row.setting = &s;
  row.index = i;
  row.name = n.names ? n.names[i] : model::Format(n.pattern, i);
  row.description =
      n.names ? model::Format(n.description, kPulserSourceTexts[i]) : model::Format(n.description, i);
  switch (s.unit) {
    case model::Unit::kTime:
      row.kind = ValueKind::kDouble;
      row.unit = "s";
      row.format = "%.9g";
      row.min_value = Exact(model::SecondsOf(s, 0));
      row.max_value = Exact(model::SecondsOf(s, s.highest));
      row.description += model::Format(" (steps of %g ns)", s.step * 1e9);
      break;
    case model::Unit::kCount:
      row.kind = ValueKind::kULong;
      row.format = "%d";
      row.min_value = "0";
      row.max_value = model::Format("%u", s.highest);
      break;
    case model::Unit::kSource:
      row.kind = ValueKind::kEnum;
      for (uint32_t raw = 0; raw <= s.highest; ++raw) row.labels.push_back(SourceLabel(raw));
      break;
    case model::Unit::kCode:
      if (s.id == SettingId::kDIODirection) {
        row.kind = ValueKind::kEnum;
        for (uint32_t raw = 0; raw <= s.highest; ++raw) row.labels.push_back(model::DIODirectionName(raw));
      } else {
        row.kind = ValueKind::kUChar;
        row.format = "%d";
        row.min_value = "0";
        row.max_value = model::Format("%u", s.highest);
      }
      break;
    case model::Unit::kSwitch:
      row.kind = ValueKind::kBoolean;
      break;
  }
  return row;
}

// The readings. The supplies' alarm limits are their nominal voltages within 5 per cent; the
// temperatures have none of their own (the device flags too hot and too cold sensors itself,
// which makes the state ALARM).
struct ReadingSpec {
  const char* name;
  ValueKind kind;
  const char* unit;
  const char* format;
  double min_alarm, max_alarm, abs_change;
  double (*number)(const Readings&);
  std::string (*text)(const Readings&);
  bool identity;
  const char* description;
};
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
double Bit(uint32_t word, int bit) { return (word >> bit) & 1; }
// clang-format off
const ReadingSpec kReadings[] = {
  {"ProductNumber", ValueKind::kULong, "", "%d", kNone, kNone, 0, [](const Readings& r) { return double(r.product_no); }, nullptr, true, "The device's product number"},
  {"ProductID", ValueKind::kString, "", "%s", kNone, kNone, 0, nullptr, [](const Readings& r) { return model::DeviceText(r.product_id, sizeof r.product_id); }, true, "The device's product identification"},
  {"HardwareType", ValueKind::kUShort, "", "%d", kNone, kNone, 0, [](const Readings& r) { return double(r.hw_type); }, nullptr, true, "The hardware type"},
  {"HardwareVersion", ValueKind::kString, "", "%s", kNone, kNone, 0, nullptr, [](const Readings& r) { return model::VersionText(r.hw_version); }, true, "The hardware version, major.minor"},
  {"FirmwareVersion", ValueKind::kString, "", "%s", kNone, kNone, 0, nullptr, [](const Readings& r) { return model::FirmwareVersionText(r.fw); }, true, "The firmware version, as the console program shows it (1-03)"},
  {"FirmwareDate", ValueKind::kString, "", "%s", kNone, kNone, 0, nullptr, [](const Readings& r) { return model::DeviceText(r.fw_date, sizeof r.fw_date); }, true, "The firmware's date"},
  {"MainState", ValueKind::kUShort, "", "%04X", kNone, kNone, 0, [](const Readings& r) { return double(r.main_state); }, nullptr, false, "The main state word (0 device active)"},
  {"MainStateText", ValueKind::kString, "", "%s", kNone, kNone, 0, nullptr, [](const Readings& r) {
     std::string t = model::MainStateLine(r.main_state, model::MainStateForm::kOnce);
     if (!t.empty() && t.back() == '\n') t.pop_back();
     return t; }, false, "The main state in words"},
  {"DeviceState", ValueKind::kULong, "", "%08X", kNone, kNone, 0, [](const Readings& r) { return double(r.device_state); }, nullptr, false, "The device state word (failure bits)"},
  {"ControllerState", ValueKind::kUShort, "", "%04X", kNone, kNone, 0, [](const Readings& r) { return double(r.controller); }, nullptr, false, "The controller state word"},
  {"MasterEnable", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return Bit(r.controller, 8); }, nullptr, false, "The master enable input"},
  {"DeviceEnabled", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return Bit(r.controller, 10); }, nullptr, false, "The device is enabled"},
  {"ControllerDisabled", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return Bit(r.device_state, 15); }, nullptr, false, "The controller is disabled"},
  {"Supply12V", ValueKind::kDouble, "V", "%.3f", 11.4, 12.6, 0.01, [](const Readings& r) { return r.log.volt_12v; }, nullptr, false, "The 12 V supply"},
  {"Supply5V0", ValueKind::kDouble, "V", "%.3f", 4.75, 5.25, 0.01, [](const Readings& r) { return r.log.volt_5v0; }, nullptr, false, "The 5.0 V supply"},
  {"Supply3V3", ValueKind::kDouble, "V", "%.3f", 3.135, 3.465, 0.01, [](const Readings& r) { return r.log.volt_3v3; }, nullptr, false, "The 3.3 V supply"},
  {"CPUTemperature", ValueKind::kDouble, "degC", "%.2f", kNone, kNone, 0.1, [](const Readings& r) { return r.log.cpu_temp; }, nullptr, false, "The CPU's temperature"},
  {"Sensor1Temperature", ValueKind::kDouble, "degC", "%.2f", kNone, kNone, 0.1, [](const Readings& r) { return r.log.sensors[0]; }, nullptr, false, "Temperature sensor 1"},
  {"Sensor2Temperature", ValueKind::kDouble, "degC", "%.2f", kNone, kNone, 0.1, [](const Readings& r) { return r.log.sensors[1]; }, nullptr, false, "Temperature sensor 2"},
  {"Sensor3Temperature", ValueKind::kDouble, "degC", "%.2f", kNone, kNone, 0.1, [](const Readings& r) { return r.log.sensors[2]; }, nullptr, false, "Temperature sensor 3"},
  {"Fan1Speed", ValueKind::kULong, "rpm", "%d", kNone, kNone, 10, [](const Readings& r) { return double(r.log.fans[0]); }, nullptr, false, "Fan 1's measured speed"},
  {"Fan2Speed", ValueKind::kULong, "rpm", "%d", kNone, kNone, 10, [](const Readings& r) { return double(r.log.fans[1]); }, nullptr, false, "Fan 2's measured speed"},
  {"Fan3Speed", ValueKind::kULong, "rpm", "%d", kNone, kNone, 10, [](const Readings& r) { return double(r.log.fans[2]); }, nullptr, false, "Fan 3's measured speed"},
  {"Fan1SetSpeed", ValueKind::kULong, "rpm", "%d", kNone, kNone, 0, [](const Readings& r) { return double(r.fan_set[0]); }, nullptr, false, "Fan 1's set speed"},
  {"Fan2SetSpeed", ValueKind::kULong, "rpm", "%d", kNone, kNone, 0, [](const Readings& r) { return double(r.fan_set[1]); }, nullptr, false, "Fan 2's set speed"},
  {"Fan3SetSpeed", ValueKind::kULong, "rpm", "%d", kNone, kNone, 0, [](const Readings& r) { return double(r.fan_set[2]); }, nullptr, false, "Fan 3's set speed"},
  {"Fan1PWM", ValueKind::kDouble, "%", "%.1f", kNone, kNone, 0.5, [](const Readings& r) { return r.fan_pwm[0] / 10.0; }, nullptr, false, "Fan 1's drive"},
  {"Fan2PWM", ValueKind::kDouble, "%", "%.1f", kNone, kNone, 0.5, [](const Readings& r) { return r.fan_pwm[1] / 10.0; }, nullptr, false, "Fan 2's drive"},
  {"Fan3PWM", ValueKind::kDouble, "%", "%.1f", kNone, kNone, 0.5, [](const Readings& r) { return r.fan_pwm[2] / 10.0; }, nullptr, false, "Fan 3's drive"},
  {"Fan1Failed", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return double(r.fan_failed[0] != 0); }, nullptr, false, "Fan 1 failed"},
  {"Fan2Failed", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return double(r.fan_failed[1] != 0); }, nullptr, false, "Fan 2 failed"},
  {"Fan3Failed", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return double(r.fan_failed[2] != 0); }, nullptr, false, "Fan 3 failed"},
  {"LEDRed", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return double(r.red != 0); }, nullptr, false, "The red LED"},
  {"LEDGreen", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return double(r.green != 0); }, nullptr, false, "The green LED"},
  {"LEDBlue", ValueKind::kBoolean, "", "", kNone, kNone, 0, [](const Readings& r) { return double(r.blue != 0); }, nullptr, false, "The blue LED"},
  {"CPULoad", ValueKind::kDouble, "%", "%.1f", kNone, kNone, 1, [](const Readings& r) { return r.load; }, nullptr, false, "The CPU's load"},
  {"CPUFrequency", ValueKind::kDouble, "Hz", "%.0f", kNone, kNone, 0, [](const Readings& r) { return r.frequency; }, nullptr, false, "The CPU's clock"},
  {"Uptime", ValueKind::kDouble, "s", "%.3f", kNone, kNone, 1, [](const Readings& r) { return r.log.uptime_s + r.log.uptime_ms / 1000.0; }, nullptr, false, "Time since the device started"},
  {"OperatingTime", ValueKind::kULong, "s", "%d", kNone, kNone, 1, [](const Readings& r) { return double(r.operating); }, nullptr, false, "Time enabled since the device started"},
  {"TotalTime", ValueKind::kULong, "s", "%d", kNone, kNone, 1, [](const Readings& r) { return double(r.total_up); }, nullptr, false, "Time the device has been on in all"},
  {"TotalOperatingTime", ValueKind::kULong, "s", "%d", kNone, kNone, 1, [](const Readings& r) { return double(r.total_op); }, nullptr, false, "Time the device has been enabled in all"},
};
// clang-format on

std::string Limit(double v) { return std::isnan(v) ? "" : Exact(v); }

std::vector<AttributeRow> MakeRows() {
  std::vector<AttributeRow> rows;
  for (const SettingNames& n : kSettingNames) {
    const model::SettingInfo& s = model::SettingOf(n.id);
    for (uint32_t i = 0; i < s.count; ++i) rows.push_back(SettingRow(n, s, i));
  }
  for (const ReadingSpec& spec : kReadings) {
    AttributeRow row;
    row.name = spec.name;
    row.kind = spec.kind;
    row.unit = spec.unit;
    row.format = spec.format;
    row.description = spec.description;
    row.min_alarm = Limit(spec.min_alarm);
    row.max_alarm = Limit(spec.max_alarm);
    row.abs_change = spec.abs_change;
    row.number = spec.number;
    row.text = spec.text;
    row.identity = spec.identity;
    rows.push_back(row);
  }
  return rows;
}

const char* KindName(ValueKind kind) {
  static const char* const kNames[] = {"DevDouble",  "DevULong", "DevUShort", "DevUChar",
                                       "DevBoolean", "DevEnum",  "DevString"};
  return kNames[size_t(kind)];
}

}  // namespace

const std::vector<AttributeRow>& Attributes() {
  static const std::vector<AttributeRow> rows = MakeRows();
  return rows;
}

double AttributeNumber(const AttributeRow& row, uint32_t raw) {
  return row.setting->unit == model::Unit::kTime ? model::SecondsOf(*row.setting, raw) : double(raw);
}

bool RawOf(const AttributeRow& row, double number, uint32_t& raw) {
  if (row.setting->unit == model::Unit::kTime) return model::StepsOf(*row.setting, number, raw);
  if (!(number >= 0) || number > row.setting->highest) return false;
  raw = uint32_t(number);
  return true;
}

bool OutOfLimits(const AttributeRow& row, double value) {
  return (!row.min_alarm.empty() && value < std::stod(row.min_alarm)) ||
         (!row.max_alarm.empty() && value > std::stod(row.max_alarm));
}

std::string AttributeTable() {
  std::string t =
      "| Attribute | Setting | Type | Unit | Access | Range | Description |\n"
      "|---|---|---|---|---|---|---|\n";
  for (const AttributeRow& row : Attributes()) {
    std::string range;
    if (!row.min_value.empty()) range = row.min_value + " to " + row.max_value;
    if (row.kind == ValueKind::kEnum)
      range = model::Format("%zu labels: %s ... %s", row.labels.size(), row.labels.front().c_str(),
                            row.labels.back().c_str());
    if (!row.min_alarm.empty()) range = "alarm below " + row.min_alarm + ", above " + row.max_alarm;
    const std::string setting = row.setting ? model::Format("%s[%u]", row.setting->name, row.index) : "";
    t += model::Format("| %s | %s | %s | %s | %s | %s | %s |\n", row.name.c_str(), setting.c_str(),
                       KindName(row.kind), row.unit.c_str(), row.setting ? "read/write" : "read",
                       range.c_str(), row.description.c_str());
  }
  return t;
}

}  // namespace tango_server
