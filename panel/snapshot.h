// What the page shows of the device besides its settings, read through the public interface:
// identity and health (states, housekeeping, sensors, fans, LEDs, CPU, times), and the trend's
// record, which is the data log's.
#pragma once
#include <cstdint>

#include "model/datalog.h"
#include "panel/result.h"
#include "panel/slot_gate.h"

namespace panel {

// Everything the page shows: identity, health, settings. A failed read gives
// {"connected": false, "error": "<operation>: <the library's text>"}.
Json ReadSnapshot(uint16_t slot, SlotGate& gate);

// One record of the trend, read by the same calls as the data log's.
bool ReadTrendSample(uint16_t slot, SlotGate& gate, model::DataLogRecord& out);
Json TrendJson(const model::DataLogRecord& sample);

}  // namespace panel
