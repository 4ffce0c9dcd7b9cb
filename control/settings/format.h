// How the settings of the device read for a person: the unit conversions and every result line of the
// settings routines, as pure functions that return text.
#pragma once
#include <cstdint>
#include <string>

#include "model/settings.h"

namespace control {

// The members of the get/set family: each reads one value (with an index where it has one) and
// writes it, with a progress line and a result line of its own.
enum class Shown : uint8_t {
  kPeriod,       // raw, seconds and hertz
  kSeconds,      // index, raw and seconds
  kNumber,       // index and raw
  kSource,       // index, raw twice, then the source in parentheses
  kHex,          // index, raw twice
  kNanoseconds,  // index, raw and half nanoseconds
  kEnabled,      // "enabled" / "disabled"
  kOnOff,        // "on" / "off"
  kNone,         // shown by its family's own routine
};
// What a key prompt may send: any 32-bit number, the low 8 bits, or a 4-bit field.
enum class Width : uint8_t { kWord, kByte, kNibble };

using model::SettingId;

// The console program's texts of a setting of the catalogue, by its id.
struct SettingTexts {
  SettingId id;  // the row's own id: the table is checked against the enum when it is compiled
  const char* get_debug;
  const char* get_line;
  const char* set_debug;
  const char* set_line;
  Shown shown;
  Width width;
};

const SettingTexts& TextsOf(SettingId id);

// The result line of a read (set false) or of a write (set true) of a setting.
std::string SettingLine(SettingId id, bool set, uint32_t index, uint32_t value);

// The controller state word, once.
std::string ControllerStateText(uint16_t state);
// The confirmation of a controller configuration byte.
std::string ControllerConfigText(uint32_t config);
// The confirmation of a software trigger: the state read, then the two patterns written.
std::string SoftwareTriggerText(uint16_t read, uint16_t start, uint16_t stop);
// The confirmation of a data-rate change.
std::string DataRateText(uint32_t device, uint32_t requested);

}  // namespace control
