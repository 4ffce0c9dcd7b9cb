// The device actions a click makes: the stored configurations (listed; saved, loaded, named,
// deleted and undeleted by number) and the software trigger.
#pragma once
#include <cstdint>
#include <string>

#include "panel/result.h"
#include "panel/slot_gate.h"

namespace panel {

// The stored configurations: {"places": [{"number", "name", "active", "valid"}...]}, names in UTF-8.
Result ReadConfigList(uint16_t slot, SlotGate& gate, Json& out);
// "save", "load", "name" (with "name"), "delete", "undelete" of {"number": n}: checked first. The
// caller holds the slot.
Result ConfigAction(uint16_t slot, const std::string& action, const Json& request, Json& result);

// {"start": a, "stop": b} (each 0, 8, 16 or 24: the software trigger and pulse bits; default a
// software pulse, 16 then 0): the controller configuration with those bits, then with the others.
Result SoftwareTrigger(uint16_t slot, SlotGate& gate, const Json& request, Json& result);

}  // namespace panel
