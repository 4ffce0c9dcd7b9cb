// The panel's answers: the page, and the JSON interface under /api/ that the page uses and
// scripts may use too. Every request must carry the access token (the "token" query parameter,
// the X-Kestravo-Token header, or for views the cookie the page sets) and a Host header naming
// this server; a change is a POST with the token in its header (a cross-site form cannot set it)
// and a JSON body.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "model/datalog.h"
#include "panel/audit.h"
#include "panel/busy.h"
#include "panel/http.h"
#include "panel/result.h"
#include "panel/slot_gate.h"

namespace panel {

// A trend sample: the data log's record and when the panel read it (its own clock, in ms).
struct TrendSample {
  model::DataLogRecord record;
  uint64_t at_ms = 0;
};

struct Panel {
  uint16_t slot = 0;
  std::string port;             // as the user named it, for reopening
  std::string token;            // the access token
  std::string cookie_name;      // the cookie that carries it after the first visit (one per port)
  std::set<std::string> hosts;  // the Host header values accepted
  bool read_only = false;

  // The slot's users. Whoever holds the slot and the state takes the slot first.
  SlotGate gate;
  // The last snapshot and the trend, read by the poller, and what goes with them.
  std::mutex state_mutex;
  Json snapshot = {{"connected", false}, {"error", "not read yet"}};
  uint64_t version = 0;  // counts snapshots, so that a page redraws only on news
  std::deque<TrendSample> trend;
  uint64_t trend_next = 0;  // the number the next trend sample gets
  // The read-backs of the changes since the snapshot under way began: it read some settings
  // before they changed, so they are put into it before it is kept.
  std::vector<Json> changes;
  std::atomic<bool> refresh{false};  // a change asks the poller for a snapshot now
  Busy busy;                         // a long operation under way
  AuditLog audit;                    // every change made through the panel
};

// The trend records what the data log records, as often as the line allows (at most every 250 ms),
// for the last hour.
constexpr uint32_t kTrendIntervalMs = model::kDataLogRecordMs;
constexpr uint64_t kTrendSpanMs = 3600 * 1000;

// The checks every request passes before its route is looked at (Host, token, method, type):
// they need neither the device nor the slot.
Result Admitted(const Panel& panel, const Request& request);
// Answers one request.
Response Handle(Panel& panel, const Request& request);

// The Host values a server on listen_address:port accepts: the loopback names and addresses; when
// it listens on another address or on all of them, also that address, this machine's own names and
// addresses, and the names allowed by the user.
std::set<std::string> AcceptedHosts(const std::string& listen_address, uint16_t port,
                                    const std::vector<std::string>& allowed);
// Whether an address is this machine's loopback (127.0.0.1, ::1, localhost).
bool Loopback(const std::string& address);

// The trend as CSV: the data log's column names and number formats, separated by commas.
std::string TrendCsv(const std::deque<TrendSample>& trend);
// The mean time between the samples kept, in ms (the nominal interval while fewer than two are kept).
double TrendSpacingMs(const std::deque<TrendSample>& trend);

}  // namespace panel
