// The panel's answers: the page, and the JSON interface under /api/ that the page uses and
// scripts may use too. Every request must carry the access token (the "token" query parameter,
// or the X-Kestravo-Token header) and a Host header naming this server; a change is a POST with
// the token in its header (a cross-site form cannot set it) and a JSON body.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "panel/device_view.h"
#include "panel/http.h"

namespace panel {

struct Panel {
  uint16_t slot = 0;
  std::string port;             // as the user named it, for reopening
  std::string token;            // the access token
  std::set<std::string> hosts;  // the Host header values accepted
  bool read_only = false;

  // The slot's users; the last snapshot and the trend, read by the poller.
  SlotGate gate;
  std::mutex cache;
  Json snapshot = {{"connected", false}, {"error", "not read yet"}};
  uint64_t version = 0;  // counts snapshots, so that a page redraws only on news
  std::deque<Json> trend;
  // The read-backs of the changes since the snapshot under way began: it read some settings
  // before they changed, so they are put into it before it is kept.
  std::vector<Json> changes;
  std::atomic<bool> refresh{false};  // a change asks the poller for a snapshot now
};

// The trend holds one sample a second for an hour.
constexpr size_t kTrendSamples = 3600;

// Answers one request.
Response Handle(Panel& panel, const Request& request);

// Reads a snapshot (reopening the slot when the device was gone) and keeps it with a trend sample.
void Poll(Panel& panel);

// The Host values a server on listen_address:port accepts: the loopback names and the address.
std::set<std::string> AcceptedHosts(const std::string& listen_address, uint16_t port);

// The trend as CSV: a heading line, then one line per sample.
std::string TrendCsv(const std::deque<Json>& trend);

}  // namespace panel
