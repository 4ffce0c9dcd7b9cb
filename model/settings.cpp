#include "model/settings.h"

#include <cmath>
#include <iterator>

#include "COM-KESTRAVO.h"
#include "model/library_calls.h"

namespace model {
namespace {

// The rise and fall delays share one call each way: the other is read and written back.
int32_t GetDelay(uint16_t slot, uint32_t sw, uint32_t& value, bool rise) {
  uint8_t r = 0, f = 0;
  const int32_t result = COM_KESTRAVO_GetSwitchTriggerDelay(slot, sw, &r, &f);
  if (result == 0) value = rise ? r : f;
  return result;
}
int32_t SetDelay(uint16_t slot, uint32_t sw, uint32_t value, bool rise) {
  uint8_t r = 0, f = 0;
  if (const int32_t result = COM_KESTRAVO_GetSwitchTriggerDelay(slot, sw, &r, &f)) return result;
  return COM_KESTRAVO_SetSwitchTriggerDelay(slot, sw, rise ? uint8_t(value) : r, rise ? f : uint8_t(value));
}
int32_t GetRise(uint16_t s, uint32_t i, uint32_t& v) { return GetDelay(s, i, v, true); }
int32_t GetFall(uint16_t s, uint32_t i, uint32_t& v) { return GetDelay(s, i, v, false); }
int32_t SetRise(uint16_t s, uint32_t i, uint32_t v) { return SetDelay(s, i, v, true); }
int32_t SetFall(uint16_t s, uint32_t i, uint32_t v) { return SetDelay(s, i, v, false); }

// A DIO's direction from the two masks that hold all seven: 2 output, 1 terminated input, 0 input.
// A change writes both masks back with only this DIO's bits changed.
int32_t GetDirection(uint16_t slot, uint32_t d, uint32_t& value) {
  uint8_t outputs = 0, terminations = 0;
  const int32_t result = COM_KESTRAVO_GetInputConfig(slot, &outputs, &terminations);
  if (result == 0) value = (outputs >> d & 1) ? 2 : (terminations >> d & 1) ? 1 : 0;
  return result;
}
int32_t SetDirection(uint16_t slot, uint32_t d, uint32_t value) {
  uint8_t outputs = 0, terminations = 0;
  if (const int32_t result = COM_KESTRAVO_GetInputConfig(slot, &outputs, &terminations)) return result;
  const uint8_t bit = uint8_t(1u << d);
  outputs = value == 2 ? uint8_t(outputs | bit) : uint8_t(outputs & ~bit);
  terminations = value == 1 ? uint8_t(terminations | bit) : uint8_t(terminations & ~bit);
  return COM_KESTRAVO_SetInputConfig(slot, outputs, terminations);
}

// The controller configuration is the low byte of the controller state.
int32_t GetControllerConfig(uint16_t slot, uint32_t, uint32_t& value) {
  uint16_t state = 0;
  const int32_t result = COM_KESTRAVO_GetControllerState(slot, &state);
  if (result == 0) value = state & 0xFFu;
  return result;
}
int32_t SetControllerConfig(uint16_t slot, uint32_t, uint32_t value) {
  return COM_KESTRAVO_SetControllerConfig(slot, value);
}

constexpr uint32_t kWord = 0xFFFFFFFFu, kSelector = 0x3F, kNibble = 15;
// Each call's name once, beside its function (directly, or through an adapter of its shape).
#define KESTRAVO_CALL(f) #f, f
#define KESTRAVO_GET_INDEXED(T, f) #f, GetIndexed < T, f>
#define KESTRAVO_GET_PLAIN(T, f) #f, GetPlain < T, f>
#define KESTRAVO_SET_PLAIN(T, f) #f, SetPlain < T, f>

// clang-format off
constexpr SettingInfo kCatalogue[] = {
  {SettingId::kOscillatorPeriod, Family::kOscillator, "oscillator_period", 1, kWord, Unit::kTime, 2, kTimeStep,
   KESTRAVO_GET_PLAIN(uint32_t, COM_KESTRAVO_GetOscillatorPeriod),
   KESTRAVO_SET_PLAIN(uint32_t, COM_KESTRAVO_SetOscillatorPeriod)},
  {SettingId::kPulserDelay, Family::kPulser, "pulser_delay", 4, kWord, Unit::kTime, 3, kTimeStep,
   KESTRAVO_GET_INDEXED(uint32_t, COM_KESTRAVO_GetPulserDelay), KESTRAVO_CALL(COM_KESTRAVO_SetPulserDelay)},
  {SettingId::kPulserWidth, Family::kPulser, "pulser_width", 4, kWord, Unit::kTime, 2, kTimeStep,
   KESTRAVO_GET_INDEXED(uint32_t, COM_KESTRAVO_GetPulserWidth), KESTRAVO_CALL(COM_KESTRAVO_SetPulserWidth)},
  {SettingId::kPulserBurst, Family::kPulser, "burst_size", 2, 0xFFFFFF, Unit::kCount, 0, 0,
   KESTRAVO_GET_INDEXED(uint32_t, COM_KESTRAVO_GetPulserBurst), KESTRAVO_CALL(COM_KESTRAVO_SetPulserBurst)},
  {SettingId::kPulserConfig, Family::kPulser, "source_selector", 6, kSelector, Unit::kSource, 0, 0,
   KESTRAVO_GET_INDEXED(uint8_t, COM_KESTRAVO_GetPulserConfig), KESTRAVO_CALL(COM_KESTRAVO_SetPulserConfig)},
  {SettingId::kSwitchTriggerConfig, Family::kSwitch, "switch_trigger_source", 4, kSelector, Unit::kSource, 0, 0,
   KESTRAVO_GET_INDEXED(uint8_t, COM_KESTRAVO_GetSwitchTriggerConfig),
   KESTRAVO_CALL(COM_KESTRAVO_SetSwitchTriggerConfig)},
  {SettingId::kSwitchEnableConfig, Family::kSwitch, "switch_enable_source", 4, kSelector, Unit::kSource, 0, 0,
   KESTRAVO_GET_INDEXED(uint8_t, COM_KESTRAVO_GetSwitchEnableConfig),
   KESTRAVO_CALL(COM_KESTRAVO_SetSwitchEnableConfig)},
  {SettingId::kSwitchEnableDelay, Family::kSwitch, "switch_enable_delay", 4, kNibble, Unit::kTime, 0,
   kSwitchDelayStep, KESTRAVO_GET_INDEXED(uint8_t, COM_KESTRAVO_GetSwitchEnableDelay),
   KESTRAVO_CALL(COM_KESTRAVO_SetSwitchEnableDelay)},
  {SettingId::kSwitchRiseDelay, Family::kSwitch, "switch_rise_delay", 4, kNibble, Unit::kTime, 0, kSwitchDelayStep,
   "COM_KESTRAVO_GetSwitchTriggerDelay", GetRise, "COM_KESTRAVO_SetSwitchTriggerDelay", SetRise},
  {SettingId::kSwitchFallDelay, Family::kSwitch, "switch_fall_delay", 4, kNibble, Unit::kTime, 0, kSwitchDelayStep,
   "COM_KESTRAVO_GetSwitchTriggerDelay", GetFall, "COM_KESTRAVO_SetSwitchTriggerDelay", SetFall},
  {SettingId::kSwitchTriggerMapping, Family::kSwitch, "trigger_mapping", 5, kNibble, Unit::kCode, 0, 0,
   KESTRAVO_GET_INDEXED(uint8_t, COM_KESTRAVO_GetSwitchTriggerMapping),
   KESTRAVO_CALL(COM_KESTRAVO_SetSwitchTriggerMapping)},
  {SettingId::kSwitchEnableMapping, Family::kSwitch, "enable_mapping", 5, kNibble, Unit::kCode, 0, 0,
   KESTRAVO_GET_INDEXED(uint8_t, COM_KESTRAVO_GetSwitchEnableMapping),
   KESTRAVO_CALL(COM_KESTRAVO_SetSwitchEnableMapping)},
  {SettingId::kTriggerMappingEnable, Family::kSwitch, "trigger_mapping_on", 1, 1, Unit::kSwitch, 0, 0,
   KESTRAVO_GET_PLAIN(uint8_t, COM_KESTRAVO_GetSwitchTriggerMappingEnable),
   KESTRAVO_SET_PLAIN(uint8_t, COM_KESTRAVO_SetSwitchTriggerMappingEnable)},
  {SettingId::kEnableMappingEnable, Family::kSwitch, "enable_mapping_on", 1, 1, Unit::kSwitch, 0, 0,
   KESTRAVO_GET_PLAIN(uint8_t, COM_KESTRAVO_GetSwitchEnableMappingEnable),
   KESTRAVO_SET_PLAIN(uint8_t, COM_KESTRAVO_SetSwitchEnableMappingEnable)},
  {SettingId::kDIOOutput, Family::kDIO, "dio_output_source", 7, kSelector, Unit::kSource, 0, 0,
   KESTRAVO_GET_INDEXED(uint8_t, COM_KESTRAVO_GetOutputConfig), KESTRAVO_CALL(COM_KESTRAVO_SetOutputConfig)},
  {SettingId::kDIODirection, Family::kDIO, "dio_direction", 7, 2, Unit::kCode, 0, 0,
   "COM_KESTRAVO_GetInputConfig", GetDirection, "COM_KESTRAVO_SetInputConfig", SetDirection},
  {SettingId::kControllerConfig, Family::kController, "controller_config", 1, 0xFF, Unit::kCode, 0, 0,
   "COM_KESTRAVO_GetControllerState", GetControllerConfig, "COM_KESTRAVO_SetControllerConfig", SetControllerConfig},
  {SettingId::kDeviceEnable, Family::kController, "device_enable", 1, 1, Unit::kSwitch, 0, 0,
   KESTRAVO_GET_PLAIN(int32_t, COM_KESTRAVO_GetDeviceEnable),
   KESTRAVO_SET_PLAIN(int32_t, COM_KESTRAVO_SetDeviceEnable)},
};
// clang-format on
#undef KESTRAVO_CALL
#undef KESTRAVO_GET_INDEXED
#undef KESTRAVO_GET_PLAIN
#undef KESTRAVO_SET_PLAIN

constexpr bool RowsFollowTheIds() {
  size_t i = 0;
  for (const SettingInfo& row : kCatalogue)
    if (size_t(row.id) != i++) return false;
  return i == kSettingCount;
}
static_assert(RowsFollowTheIds(), "the catalogue must hold one row per SettingId, in its order");

}  // namespace

const char* UnitName(Unit unit) {
  static const char* const kNames[] = {"s", "count", "source", "code", "on/off"};
  static_assert(std::size(kNames) == size_t(Unit::kSwitch) + 1, "one name per unit");
  return kNames[size_t(unit)];
}

const char* FamilyName(Family family) {
  static const char* const kNames[] = {"oscillator", "pulser", "switch", "dio", "controller"};
  static_assert(std::size(kNames) == size_t(Family::kController) + 1, "one name per family");
  return kNames[size_t(family)];
}

const SettingInfo (&Settings())[kSettingCount] { return kCatalogue; }

const SettingInfo& SettingOf(SettingId id) { return kCatalogue[size_t(id)]; }

const SettingInfo* FindSetting(std::string_view name) {
  for (const SettingInfo& row : kCatalogue)
    if (name == row.name) return &row;
  return nullptr;
}

double SecondsOf(const SettingInfo& s, uint32_t raw) { return double(uint64_t(raw) + s.offset) * s.step; }

bool StepsOf(const SettingInfo& s, double seconds, uint32_t& raw) {
  if (s.unit != Unit::kTime) return false;
  const double steps = std::nearbyint(seconds * (1.0 / s.step)) - double(s.offset);
  if (!(steps >= 0) || steps > double(s.highest)) return false;
  raw = uint32_t(steps);
  return true;
}

double OscillatorSeconds(uint32_t r) { return SecondsOf(SettingOf(SettingId::kOscillatorPeriod), r); }
double PulserDelaySeconds(uint32_t r) { return SecondsOf(SettingOf(SettingId::kPulserDelay), r); }
double PulserWidthSeconds(uint32_t r) { return SecondsOf(SettingOf(SettingId::kPulserWidth), r); }
double SwitchDelayNs(uint32_t r) { return r * 0.5; }

}  // namespace model
