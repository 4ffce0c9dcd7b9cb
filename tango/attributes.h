// The device server's attributes, made from the settings catalogue and the device's readings: one
// scalar per setting and channel (times in seconds, sources and DIO directions as enumerations
// with the console program's names), and the read-only identity, states and housekeeping with
// their units, alarm limits and the changes that make an event.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/readings.h"
#include "model/settings.h"

namespace tango_server {

// How an attribute's value travels: its Tango type is chosen from this.
enum class ValueKind : uint8_t { kDouble, kULong, kUShort, kUChar, kBoolean, kEnum, kString };

struct AttributeRow {
  std::string name;  // "Pulser0Delay"
  ValueKind kind;
  std::string unit, description, format;
  std::string min_value, max_value;  // writes outside are refused by Tango; "" none
  std::string min_alarm, max_alarm;  // "" none
  double abs_change = 0;             // a change of at least this makes an event (0: any change)
  std::vector<std::string> labels;   // kEnum: the label of each raw value
  // A setting: its catalogue row and index; otherwise a reading of the health (or, when identity,
  // of the identity read once at each opening).
  const model::SettingInfo* setting = nullptr;
  uint32_t index = 0;
  double (*number)(const model::Readings&) = nullptr;
  std::string (*text)(const model::Readings&) = nullptr;
  bool identity = false;
};

// Every attribute, settings first in the catalogue's order.
const std::vector<AttributeRow>& Attributes();

// A setting's raw value as the attribute's number (seconds for times) and back; false when no raw
// value in the setting's range gives it.
double AttributeNumber(const AttributeRow& row, uint32_t raw);
bool RawOf(const AttributeRow& row, double number, uint32_t& raw);

// A reading's value outside its alarm limits.
bool OutOfLimits(const AttributeRow& row, double value);

// The attribute table in Markdown (name, the setting and index it stands for, type, unit, access,
// range, description), as the documentation holds it.
std::string AttributeTable();

}  // namespace tango_server
