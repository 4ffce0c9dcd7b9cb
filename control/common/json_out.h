// The readings for scripts (--json): each switch that reads something prints one JSON object on a
// line of standard output. Every object names its switch and its kind; a failure is an object
// with the error line, the status a strict run would end with, and the switch.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/device_texts.h"
#include "model/json_text.h"

namespace control {

// {"switch": "-h", "kind": kind, members...}, at once.
void JsonRecord(const char* kind, const model::JsonObject& members);
// A setting the running switch read: the settings a switch reads become one object of kind
// "settings" when it ends.
void JsonSetting(const model::JsonObject& setting);
// The running switch begins and ends (the settings it read are printed at its end).
void JsonSwitchBegin(const char* text);
void JsonSwitchEnd();
// A state word with its named bits: {"value": word, name: true/false, ...}.
template <size_t N>
model::JsonObject WordJson(uint32_t word, const model::NamedBit (&bits)[N]) {
  model::JsonObject o;
  o.Integer("value", word);
  for (const model::NamedBit& b : bits) o.Bool(b.name, (word >> b.bit & 1) != 0);
  return o;
}

// {"error": line, "code": status, "switch": ...}; the settings read before it are dropped.
void JsonError(int status, const std::string& line);

}  // namespace control
