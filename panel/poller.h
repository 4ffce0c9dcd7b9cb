// Keeps the panel's state fresh: a snapshot of the device once a second (at once when a change
// asks for one), reopening the slot when the device was gone, and a trend sample on the data
// log's schedule.
#pragma once
#include <atomic>

#include "panel/api.h"

namespace panel {

// Reads a snapshot, reopening the slot when the device was gone.
void Poll(Panel& panel);
// Reads a trend sample and keeps it; nothing while the last snapshot found no device.
void SampleTrend(Panel& panel);
// Polls and samples until stop is set.
void RunPoller(Panel& panel, const std::atomic<bool>& stop);

}  // namespace panel
