#include "panel/poller.h"

#include <chrono>
#include <thread>

#include "COM-KESTRAVO.h"
#include "panel/settings_api.h"
#include "panel/snapshot.h"
#include "platform/clock.h"

namespace panel {

constexpr uint64_t kPollIntervalMs = 1000;

void Poll(Panel& panel) {
  {
    const std::lock_guard<std::mutex> lock(panel.state_mutex);
    panel.changes.clear();
  }
  Json snapshot = ReadSnapshot(panel.slot, panel.gate);
  if (!snapshot["connected"].get<bool>()) {
    // The device is gone or the line failed: the slot is opened again for the next poll.
    const SlotGate::Hold hold = panel.gate.Change();
    COM_KESTRAVO_Close(panel.slot);
    COM_KESTRAVO_OpenPort(panel.slot, panel.port.c_str());
  }
  const std::lock_guard<std::mutex> lock(panel.state_mutex);
  for (const Json& change : panel.changes) KeepReadBack(snapshot, change);
  panel.snapshot = snapshot;
  ++panel.version;
}

void SampleTrend(Panel& panel) {
  {
    const std::lock_guard<std::mutex> lock(panel.state_mutex);
    if (!panel.snapshot.value("connected", false)) return;
  }
  model::DataLogRecord sample;
  if (!ReadTrendSample(panel.slot, panel.gate, sample)) return;
  const std::lock_guard<std::mutex> lock(panel.state_mutex);
  panel.trend.push_back(sample);
  ++panel.trend_next;
  if (panel.trend.size() > kTrendSamples) panel.trend.pop_front();
}

void RunPoller(Panel& panel, const std::atomic<bool>& stop) {
  uint64_t next = 0, next_sample = platform::TickMs();
  while (!stop) {
    const uint64_t now = platform::TickMs();
    const bool asked = panel.refresh.exchange(false);
    if (now >= next || asked) {
      Poll(panel);
      next = now + kPollIntervalMs;
    }
    if (platform::TickMs() >= next_sample) {
      // A fixed schedule, as the data log keeps; a line too slow for it samples as often as it can.
      SampleTrend(panel);
      next_sample += kTrendIntervalMs;
      if (next_sample < platform::TickMs()) next_sample = platform::TickMs() + kTrendIntervalMs;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace panel
