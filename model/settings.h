// The settings catalogue: every single setting of the device that a program reads and changes,
// with its name, how many there are, its raw range, its unit and conversion, and the library
// calls that read and write it. The console program adds its texts by id, the front panel serves
// the catalogue as it is, and the Python package's units are checked against it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace model {

enum class SettingId : uint8_t {
  kOscillatorPeriod,
  kPulserDelay,
  kPulserWidth,
  kPulserBurst,
  kPulserConfig,
  kSwitchTriggerConfig,
  kSwitchEnableConfig,
  kSwitchEnableDelay,
  kSwitchRiseDelay,
  kSwitchFallDelay,
  kSwitchTriggerMapping,
  kSwitchEnableMapping,
  kTriggerMappingEnable,
  kEnableMappingEnable,
  kDIOOutput,
  kDIODirection,
  kControllerConfig,
  kDeviceEnable,
};
constexpr size_t kSettingCount = size_t(SettingId::kDeviceEnable) + 1;

enum class Family : uint8_t { kOscillator, kPulser, kSwitch, kDIO, kController };

// What a raw value stands for.
enum class Unit : uint8_t {
  kTime,    // seconds: (raw + offset) x step
  kCount,   // a number of pulses
  kSource,  // a source selector: bits 0 to 4 the source, bit 5 negates
  kCode,    // a mapping entry, a DIO's direction (0 input, 1 terminated input, 2 output), a byte of bits
  kSwitch,  // 0 off, 1 on
};

using SettingGetter = int32_t (*)(uint16_t slot, uint32_t index, uint32_t& value);
using SettingSetter = int32_t (*)(uint16_t slot, uint32_t index, uint32_t value);

struct SettingInfo {
  SettingId id;  // the row's own id: the catalogue is checked against the enum when it is compiled
  Family family;
  const char* name;  // as JSON, scripts and attributes name it: "pulser_delay"
  uint32_t count;    // indices 0 to count - 1
  uint32_t highest;  // the highest raw value the device takes
  Unit unit;
  uint32_t offset;       // kTime: the raw value's offset in steps
  double step;           // kTime: seconds per step
  const char* get_call;  // the library functions, as an error names them
  SettingGetter get;
  const char* set_call;
  SettingSetter set;
};

// The names of units and families, as JSON and other languages' copies name them: "s", "count",
// "source", "code", "on/off"; "oscillator", "pulser", "switch", "dio", "controller".
const char* UnitName(Unit unit);
const char* FamilyName(Family family);

// The catalogue, in the order of SettingId.
const SettingInfo (&Settings())[kSettingCount];
const SettingInfo& SettingOf(SettingId id);
// The row of a name; null when there is none.
const SettingInfo* FindSetting(std::string_view name);

// Times: (raw + offset) x step, in 64 bits so that the largest raw values do not wrap.
double SecondsOf(const SettingInfo& s, uint32_t raw);
// The raw value whose time is nearest to seconds; false when none in the raw range is.
bool StepsOf(const SettingInfo& s, double seconds, uint32_t& raw);

// The device counts times in steps of 10 ns from an offset of its own, switch delays in half
// nanoseconds; the conversions of the displays.
constexpr double kTimeStep = 1e-8, kSwitchDelayStep = 0.5e-9;
double OscillatorSeconds(uint32_t r);   // (r + 2) x 10 ns
double PulserDelaySeconds(uint32_t r);  // (r + 3) x 10 ns
double PulserWidthSeconds(uint32_t r);  // (r + 2) x 10 ns
double SwitchDelayNs(uint32_t r);       // r x 0.5 ns

// The software trigger writes the controller configuration twice, the start pattern and then the
// stop pattern, each the state word as read with its software trigger and pulse bits (3 and 4)
// taken from mask.
constexpr uint16_t TriggerPattern(uint16_t state, uint32_t mask) {
  return uint16_t((state & 0xFFE7) | (mask & 0x18));
}

}  // namespace model
