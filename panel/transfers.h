// What the panel moves as files: stored configurations in the console program's own text format
// (the same writer, the same reader and its checks) and the memory data backup. A text is checked
// whole before anything is written to the device.
#pragma once
#include <cstdint>
#include <string>

#include "panel/busy.h"
#include "panel/result.h"
#include "panel/slot_gate.h"

namespace panel {

// The text of place n (0 to 125), or of every active place when n is negative. Refused with 409
// when the place is invalid or deleted, 404 when no place is active.
Result ConfigFileText(uint16_t slot, SlotGate& gate, long n, std::string& text);
// {"text": file, "number": n (optional: every section of the file)}: checked whole, then stored
// (name, data, flags), counted in busy as the sections are stored. Refused with the bad section's
// name and entry.
Result UploadConfigFile(uint16_t slot, SlotGate& gate, const Json& request, Json& result, Busy& busy);

// The 16384 bytes of memory data as backup lines.
Result MemoryBackupText(uint16_t slot, SlotGate& gate, std::string& text);
// {"text": backup}: checked whole (16384 values, nothing more), then written (counted in busy) and
// committed.
Result RestoreMemoryText(uint16_t slot, SlotGate& gate, const Json& request, Json& result, Busy& busy);

}  // namespace panel
