// How the settings of the device read for a person: the unit conversions and every result line of the
// settings routines, as pure functions that return text.
#pragma once
#include <cstdint>
#include <string>

namespace control {

// Raw register values in seconds and nanoseconds. The sums are formed in 64 bits, so that the
// largest 32-bit values do not wrap.
// The device counts times in steps of 10 ns from an offset of its own: a raw value r is
// (r + offset) × 10 ns. The displays and the single settings' lines use these alike.
constexpr uint32_t kOscillatorOffset = 2, kPulserDelayOffset = 3, kPulserWidthOffset = 2;
double OscillatorSeconds(uint32_t r);   // (r + kOscillatorOffset) × 10 ns
double PulserDelaySeconds(uint32_t r);  // (r + kPulserDelayOffset) × 10 ns
double PulserWidthSeconds(uint32_t r);  // (r + kPulserWidthOffset) × 10 ns
double SwitchDelayNs(uint32_t r);       // r × 0.5 ns

// A source configuration byte: "negated " when bit 5 is set, then the source's name.
std::string SourceConfigText(uint32_t byte);

// The members of the get/set family: each reads one value (with an index where it has one) and
// writes it, with a progress line and a result line of its own.
enum class Shown : uint8_t {
  kPeriod,       // raw, seconds and hertz
  kSeconds,      // index, raw and seconds (offset in the row)
  kNumber,       // index and raw
  kSource,       // index, raw twice, then the source in parentheses
  kHex,          // index, raw twice
  kNanoseconds,  // index, raw and half nanoseconds
  kEnabled,      // "enabled" / "disabled"
  kOnOff,        // "on" / "off"
};
// What a key prompt may send: any 32-bit number, the low 8 bits, or a 4-bit field.
enum class Width : uint8_t { kWord, kByte, kNibble };

enum class SettingId : uint8_t {
  kOscillatorPeriod,
  kPulserDelay,
  kPulserWidth,
  kPulserBurst,
  kPulserConfig,
  kSwitchTriggerConfig,
  kSwitchEnableConfig,
  kSwitchEnableDelay,
  kSwitchTriggerMapping,
  kSwitchEnableMapping,
  kTriggerMappingEnable,
  kEnableMappingEnable,
  kDIOOutput,
  kDeviceEnable,
};

struct Setting {
  SettingId id;  // the row's own id: the table is checked against the enum when it is compiled
  const char* get_debug;
  const char* get_line;
  const char* get_call;  // the library function, as an error names it
  int32_t (*get)(uint16_t port, uint32_t index, uint32_t& value);
  const char* set_debug;
  const char* set_line;
  const char* set_call;
  int32_t (*set)(uint16_t port, uint32_t index, uint32_t value);
  Shown shown;
  uint32_t offset;  // kSeconds: the raw value's offset in units of 10 ns
  Width width;
};

const Setting& SettingOf(SettingId id);

// The result line of a read (set false) or of a write (set true) of a setting.
std::string SettingLine(const Setting& s, bool set, uint32_t index, uint32_t value);

// The trigger delays of a switch, rise or fall (the two share one read).
std::string TriggerDelayLine(bool rise, bool set, uint32_t sw, uint32_t value);

// The direction of DIO d from the two masks: "output", "terminated input" or "input".
const char* DIODirection(uint8_t outputs, uint8_t terminations, unsigned d);

// The controller state word, once.
std::string ControllerStateText(uint16_t state);
// The confirmation of a controller configuration byte.
std::string ControllerConfigText(uint32_t config);
// The confirmation of a software trigger: the state read, then the two patterns written.
std::string SoftwareTriggerText(uint16_t read, uint16_t start, uint16_t stop);
// The confirmation of a data-rate change.
std::string DataRateText(uint32_t device, uint32_t requested);

}  // namespace control
