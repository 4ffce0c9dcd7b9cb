// The settings as the panel serves them, all from the settings catalogue: the table of names,
// counts, ranges and units (/api/settings), every value read into a snapshot, and a change of one
// value (checked before anything is sent, the value read back after).
#pragma once
#include <cstdint>

#include "panel/result.h"
#include "panel/slot_gate.h"

namespace panel {

// The catalogue for the page and for scripts, with the source names.
Json SettingsTable();

// Every setting of the catalogue into out["settings"]; false after a failed call, with the failed
// operation's name in failed.
bool ReadEverySetting(uint16_t slot, SlotGate& gate, Json& out, const char*& failed);

// {"setting": name, "index": n, "raw": value} or {..., "seconds": time} for a time: refused when
// the setting is unknown, the index or the value out of range or of the wrong type; else the
// result holds {"setting", "index", "value": the value read back}. The caller holds the slot.
Result SetFromRequest(uint16_t slot, const Json& request, Json& result);

// A change as the audit log tells it: "pulser_delay #1: 0 -> 500" (the old value as the snapshot
// held it, "?" when it held none).
std::string ChangeText(const Json& snapshot, const Json& change);

// Puts a change's read-back into a snapshot, so that the snapshot shows the setting as it is now
// without reading everything again.
void KeepReadBack(Json& snapshot, const Json& change);

}  // namespace panel
