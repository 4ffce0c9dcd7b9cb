// What the panel moves as files: stored configurations in the console program's own text format
// (the same writer, the same reader and its checks), the memory data backup, and the software
// trigger. A text is checked whole before anything is written to the device.
#pragma once
#include <cstdint>
#include <string>

#include "panel/device_view.h"

namespace panel {

// The text of place n (0 to 125), or of every active place when n is negative. False with the
// reason and the HTTP status (409: the place is invalid or deleted; 404: no active place).
bool ConfigFileText(uint16_t slot, SlotGate& gate, long n, std::string& text, std::string& error,
                    int& status);
// {"text": file, "number": n (optional: every section of the file)}: checked whole, then stored
// (name, data, flags). False with the reason (for a bad section: its name and entry).
bool UploadConfigFile(uint16_t slot, SlotGate& gate, const Json& request, Json& result, std::string& error);

// The 16384 bytes of memory data as backup lines.
bool MemoryBackupText(uint16_t slot, SlotGate& gate, std::string& text, std::string& error);
// {"text": backup}: checked whole (16384 values, nothing more), then written and committed.
bool RestoreMemory(uint16_t slot, SlotGate& gate, const Json& request, Json& result, std::string& error);

// {"start": a, "stop": b} (each 0, 8, 16 or 24: the software trigger and pulse bits; default a
// software pulse, 16 then 0): the controller configuration with those bits, then with the others.
bool SoftwareTrigger(uint16_t slot, SlotGate& gate, const Json& request, Json& result, std::string& error);

}  // namespace panel
