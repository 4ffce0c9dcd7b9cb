#include "panel/poller.h"

#include <chrono>
#include <ctime>
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
  const bool connected = snapshot["connected"].get<bool>();
  if (!connected) {
    // The device is gone or the line failed: the slot is opened again for the next poll.
    const SlotGate::Hold hold = panel.gate.Change();
    COM_KESTRAVO_Close(panel.slot);
    COM_KESTRAVO_OpenPort(panel.slot, panel.port.c_str());
  }
  const std::lock_guard<std::mutex> lock(panel.state_mutex);
  if (connected) {
    for (const Json& change : panel.changes) KeepReadBack(snapshot, change);
    snapshot["read_at"] = uint64_t(std::time(nullptr));
  } else if (panel.snapshot.contains("read_at")) {
    // The last values read stay, marked stale, with the time they were read and the reason.
    Json stale = panel.snapshot;
    stale["connected"] = false;
    stale["stale"] = true;
    stale["error"] = snapshot["error"];
    snapshot = stale;
  }
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
  const uint64_t now = platform::TickMs();
  panel.trend.push_back({sample, now});
  ++panel.trend_next;
  // An hour of samples, however far apart a slow line keeps them.
  while (now - panel.trend.front().at_ms > kTrendSpanMs) panel.trend.pop_front();
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
