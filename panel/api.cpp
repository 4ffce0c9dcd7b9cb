#include "panel/api.h"

#include <algorithm>

#include "panel/actions.h"
#include "panel/page.h"
#include "panel/settings_api.h"
#include "panel/snapshot.h"
#include "panel/transfers.h"
#include "platform/tcp.h"

namespace panel {
namespace {

Response JsonResponse(int status, const Json& body) {
  Response r;
  r.status = status;
  r.body = body.dump();
  return r;
}
Response Error(int status, const std::string& why) { return JsonResponse(status, {{"error", why}}); }
Response Error(const Result& r) { return Error(r.status, r.error); }

// Compares without stopping at the first difference, so that the time does not tell how much of a
// guess was right.
bool SameSecret(const std::string& a, const std::string& b) {
  unsigned diff = a.size() == b.size() ? 0u : 1u;
  for (size_t i = 0; i < a.size(); ++i) diff |= unsigned(uint8_t(a[i]) ^ uint8_t(i < b.size() ? b[i] : 0));
  return diff == 0 && !b.empty();
}

}  // namespace

Result Admitted(const Panel& panel, const Request& r) {
  if (!panel.hosts.count(r.Header("host"))) return {403, "wrong Host"};
  const std::string header = r.Header("x-kestravo-token");
  if (r.method == "POST") {
    if (!SameSecret(header, panel.token)) return {403, "missing or wrong token header"};
    if (panel.read_only) return {403, "the panel is read-only"};
    if (r.Header("content-type").rfind("application/json", 0) != 0)
      return Refused("the body must be application/json");
    return Done();
  }
  if (r.method != "GET") return {405, "only GET and POST"};
  // A view takes the token from the header, the address, or the cookie the page set.
  const std::string cookie = panel.cookie_name.empty() ? "" : r.Cookie(panel.cookie_name);
  const std::string given = !header.empty() ? header : !r.Param("token").empty() ? r.Param("token") : cookie;
  if (!SameSecret(given, panel.token)) return {403, "missing or wrong token"};
  return Done();
}

namespace {

Response Download(const std::string& text, const std::string& file) {
  Response r;
  r.type = "text/plain; charset=us-ascii";
  r.disposition = "attachment; filename=\"" + file + "\"";
  r.body = text;
  return r;
}

// A query parameter of at most digits decimal digits, up to highest; a missing one leaves value as it is.
bool QueryNumber(const Request& r, const char* name, size_t digits, uint64_t highest, uint64_t& value) {
  const std::string text = r.Param(name);
  if (text.empty()) return true;
  if (text.size() > digits || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(text);
  return value <= highest;
}

// GET /api/config/file[?number=n]: one place (0 to 125) or every active one.
Response ConfigFile(Panel& panel, const Request& r) {
  uint64_t n = uint64_t(-1);
  if (!QueryNumber(r, "number", 3, 125, n)) return Error(400, "'number' is out of range (0 to 125)");
  const long place = n == uint64_t(-1) ? -1 : long(n);
  std::string text;
  if (Result done = ConfigFileText(panel.slot, panel.gate, place, text); !done.ok()) return Error(done);
  return Download(text, place < 0 ? "kestravo-configurations.ini"
                                  : "kestravo-configuration-" + std::to_string(place + 1) + ".ini");
}

// GET /api/trend[?since=n]: the samples numbered n and after (all that are kept by default), so
// that a page which has the first n fetches only the new ones.
Response Trend(Panel& panel, const Request& r) {
  uint64_t n = 0;
  if (!QueryNumber(r, "since", 19, UINT64_MAX, n)) return Error(400, "'since' must be a sample number");
  const std::lock_guard<std::mutex> lock(panel.state_mutex);
  const uint64_t kept = panel.trend_next - panel.trend.size(), from = std::max(n, kept);
  Json samples = Json::array();
  for (uint64_t k = from; k < panel.trend_next; ++k)
    samples.push_back(TrendJson(panel.trend[k - kept].record));
  return JsonResponse(200, {{"interval_ms", kTrendIntervalMs},
                            {"spacing_ms", TrendSpacingMs(panel.trend)},
                            {"first", from},
                            {"next", panel.trend_next},
                            {"samples", samples}});
}

// The page, with the token for its POST headers (another site cannot read the page), and a cookie
// that lets a reload or a bookmark without the token in the address in: HttpOnly, and sent by the
// browser only with this site's own requests.
Response Page(const Panel& panel) {
  Response page;
  page.type = "text/html; charset=utf-8";
  page.body.assign(reinterpret_cast<const char*>(kPageBytes), kPageSize);
  const std::string slot = "name=\"kestravo-token\" content=\"\"";
  if (const size_t at = page.body.find(slot); at != std::string::npos)
    page.body.replace(at, slot.size(), "name=\"kestravo-token\" content=\"" + panel.token + "\"");
  if (!panel.cookie_name.empty())
    page.cookie = panel.cookie_name + "=" + panel.token + "; HttpOnly; SameSite=Strict; Path=/";
  return page;
}

// While a long operation holds the device, the requests that need it are refused at once.
Result NotBusy(const Panel& panel) {
  const char* what = panel.busy.what;
  return what ? Result{409, std::string("busy: ") + what + " in progress"} : Done();
}

Response State(Panel& panel) {
  Json s;
  {
    const std::lock_guard<std::mutex> lock(panel.state_mutex);
    s = panel.snapshot;
    s["version"] = panel.version;
  }
  s["read_only"] = panel.read_only;
  if (const char* what = panel.busy.what)
    s["busy"] = {{"what", what}, {"done", panel.busy.done.load()}, {"total", panel.busy.total.load()}};
  return JsonResponse(200, s);
}

Response TrendCsvDownload(Panel& panel) {
  std::deque<TrendSample> trend;
  {
    const std::lock_guard<std::mutex> lock(panel.state_mutex);
    trend = panel.trend;
  }
  Response csv;
  csv.type = "text/csv; charset=utf-8";
  csv.disposition = "attachment; filename=\"kestravo-trend.csv\"";
  csv.body = TrendCsv(trend);
  return csv;
}

Response Get(Panel& panel, const Request& r) {
  if (r.path == "/" || r.path == "/index.html") return Page(panel);
  if (r.path == "/api/state") return State(panel);
  if (r.path == "/api/settings") return JsonResponse(200, SettingsTable());
  if (r.path == "/api/trend") return Trend(panel, r);
  if (r.path == "/api/trend.csv") return TrendCsvDownload(panel);
  if (r.path == "/api/log") return JsonResponse(200, {{"lines", panel.audit.Last()}});
  if (Result free = NotBusy(panel); !free.ok()) return Error(free);
  if (r.path == "/api/config/file") return ConfigFile(panel, r);
  if (r.path == "/api/memory/backup") {
    std::string text;
    if (Result done = MemoryBackupText(panel.slot, panel.gate, text); !done.ok()) return Error(done);
    return Download(text, "kestravo-memory.txt");
  }
  if (r.path == "/api/configs") {
    Json out;
    if (Result done = ReadConfigList(panel.slot, panel.gate, out); !done.ok()) return Error(done);
    return JsonResponse(200, out);
  }
  return Error(404, "no such page");
}

// A change of one setting, kept in the state while the slot is still held: a script that reads
// the state after its change finds the value read back, and two changes of one value are kept in
// the device's order.
Result Set(Panel& panel, const Request& r, const Json& body, Json& result) {
  const SlotGate::Hold hold = panel.gate.Change();
  Result done = SetFromRequest(panel.slot, body, result);
  if (!done.ok()) return done;
  std::string change;
  {
    const std::lock_guard<std::mutex> lock(panel.state_mutex);
    change = ChangeText(panel.snapshot, result);
    KeepReadBack(panel.snapshot, result);
    panel.changes.push_back(result);
    ++panel.version;
  }
  panel.audit.Add(r.peer, change);
  return done;
}

// A long operation, marked as under way for its whole length.
template <typename F>
Result Long(Panel& panel, const char* what, F run) {
  const BusyScope scope(panel.busy, what, 0);
  return scope.taken() ? run() : NotBusy(panel);
}

// The audit line of an action: its path and its request ("config/save {"number":5}").
std::string ActionText(const Request& r, const Json& body) {
  std::string what = r.path.substr(5);
  if (r.path == "/api/config/upload" || r.path == "/api/memory/restore")
    return what + (body.contains("number") ? " " + body["number"].dump() : "");
  return what + " " + body.dump();
}

Result Act(Panel& panel, const Request& r, const Json& body, Json& result) {
  if (r.path == "/api/config/upload")
    return Long(panel, "configuration upload",
                [&] { return UploadConfigFile(panel.slot, panel.gate, body, result, panel.busy); });
  if (r.path == "/api/memory/restore")
    return Long(panel, "memory restore",
                [&] { return RestoreMemoryText(panel.slot, panel.gate, body, result, panel.busy); });
  if (Result free = NotBusy(panel); !free.ok()) return free;
  if (r.path == "/api/set") return Set(panel, r, body, result);
  if (r.path == "/api/trigger") return SoftwareTrigger(panel.slot, panel.gate, body, result);
  if (r.path.rfind("/api/config/", 0) == 0) {
    const SlotGate::Hold hold = panel.gate.Change();
    return ConfigAction(panel.slot, r.path.substr(12), body, result);
  }
  return {404, "no such action"};
}

Response Post(Panel& panel, const Request& r) {
  const Json body = Json::parse(r.body, nullptr, false);
  if (body.is_discarded()) return Error(400, "the body is not JSON");
  Json result;
  const Result done = Act(panel, r, body, result);
  if (done.ok() && r.path != "/api/set") panel.audit.Add(r.peer, ActionText(r, body));
  // A refused change and a failed device call are both answered 400, with the reason.
  if (!done.ok()) return Error(done.status == 404 || done.status == 409 ? done.status : 400, done.error);
  panel.refresh = true;
  return JsonResponse(200, result);
}

}  // namespace

Response Handle(Panel& panel, const Request& request) {
  if (Result admitted = Admitted(panel, request); !admitted.ok()) return Error(admitted);
  return request.method == "POST" ? Post(panel, request) : Get(panel, request);
}

bool Loopback(const std::string& address) {
  return address == "127.0.0.1" || address == "::1" || address == "localhost";
}

std::set<std::string> AcceptedHosts(const std::string& listen_address, uint16_t port,
                                    const std::vector<std::string>& allowed) {
  const std::string p = ":" + std::to_string(port);
  // An IPv6 address stands in brackets before the port.
  const auto host = [&p](const std::string& name) {
    return (name.find(':') != std::string::npos ? "[" + name + "]" : name) + p;
  };
  std::set<std::string> hosts = {host("127.0.0.1"), host("localhost"), host("::1")};
  if (Loopback(listen_address)) return hosts;
  if (listen_address != "0.0.0.0" && listen_address != "::") hosts.insert(host(listen_address));
  for (const std::string& name : platform::OwnNamesAndAddresses()) hosts.insert(host(name));
  for (const std::string& name : allowed) hosts.insert(host(name));
  return hosts;
}

std::string TrendCsv(const std::deque<TrendSample>& trend) {
  std::string csv = model::kDataLogHeader;
  std::replace(csv.begin(), csv.end(), '\t', ',');
  for (const TrendSample& s : trend) csv += model::DataLogLine(s.record, ',');
  return csv;
}

double TrendSpacingMs(const std::deque<TrendSample>& trend) {
  if (trend.size() < 2) return kTrendIntervalMs;
  return double(trend.back().at_ms - trend.front().at_ms) / double(trend.size() - 1);
}

}  // namespace panel
