#include "panel/api.h"

#include <algorithm>
#include <cstdio>

#include "COM-KESTRAVO.h"
#include "control/common/format.h"
#include "control/diagnostics/diagnostics.h"
#include "panel/files_view.h"
#include "panel/page.h"

namespace panel {
namespace {

Response JsonResponse(int status, const Json& body) {
  Response r;
  r.status = status;
  r.body = body.dump();
  return r;
}
Response Error(int status, const std::string& why) { return JsonResponse(status, {{"error", why}}); }

// Compares without stopping at the first difference, so that the time does not tell how much of a
// guess was right.
bool SameSecret(const std::string& a, const std::string& b) {
  unsigned diff = a.size() == b.size() ? 0u : 1u;
  for (size_t i = 0; i < a.size(); ++i) diff |= unsigned(uint8_t(a[i]) ^ uint8_t(i < b.size() ? b[i] : 0));
  return diff == 0 && !b.empty();
}

// The checks every request passes before its route is looked at; 0 when it passes.
int Refusal(const Panel& panel, const Request& r, std::string& why) {
  if (!panel.hosts.count(r.Header("host"))) return why = "wrong Host", 403;
  const std::string header = r.Header("x-kestravo-token");
  if (r.method == "POST") {
    if (!SameSecret(header, panel.token)) return why = "missing or wrong token header", 403;
    if (panel.read_only) return why = "the panel is read-only", 403;
    if (r.Header("content-type").rfind("application/json", 0) != 0)
      return why = "the body must be application/json", 400;
    return 0;
  }
  if (r.method != "GET") return why = "only GET and POST", 405;
  if (!SameSecret(header.empty() ? r.Param("token") : header, panel.token))
    return why = "missing or wrong token", 403;
  return 0;
}

Response Download(const std::string& text, const std::string& file) {
  Response r;
  r.type = "text/plain; charset=us-ascii";
  r.disposition = "attachment; filename=\"" + file + "\"";
  r.body = text;
  return r;
}

// GET /api/config/file[?number=n]: one place (0 to 125) or every active one.
Response ConfigFile(Panel& panel, const Request& r) {
  const std::string number = r.Param("number");
  long n = -1;
  if (!number.empty()) {
    if (number.size() > 3 || number.find_first_not_of("0123456789") != std::string::npos ||
        std::stol(number) > 125)
      return Error(400, "'number' is out of range (0 to 125)");
    n = std::stol(number);
  }
  std::string text, error;
  int status = 0;
  if (!ConfigFileText(panel.slot, panel.gate, n, text, error, status)) return Error(status, error);
  return Download(text, n < 0 ? "kestravo-configurations.ini"
                              : "kestravo-configuration-" + std::to_string(n + 1) + ".ini");
}

// GET /api/trend[?since=n]: the samples numbered n and after (all that are kept by default), so
// that a page which has the first n fetches only the new ones.
Response Trend(Panel& panel, const Request& r) {
  const std::string since = r.Param("since");
  uint64_t n = 0;
  if (!since.empty()) {
    if (since.size() > 19 || since.find_first_not_of("0123456789") != std::string::npos)
      return Error(400, "'since' must be a sample number");
    n = std::stoull(since);
  }
  std::lock_guard<std::mutex> lock(panel.cache);
  const uint64_t kept = panel.trend_next - panel.trend.size(), from = std::max(n, kept);
  Json samples = Json::array();
  for (uint64_t k = from; k < panel.trend_next; ++k) samples.push_back(TrendJson(panel.trend[k - kept]));
  return JsonResponse(
      200,
      {{"interval_ms", kTrendIntervalMs}, {"first", from}, {"next", panel.trend_next}, {"samples", samples}});
}

Response Get(Panel& panel, const Request& r) {
  if (r.path == "/" || r.path == "/index.html") {
    Response page;
    page.type = "text/html; charset=utf-8";
    page.body = kPage;
    return page;
  }
  if (r.path == "/api/state") {
    std::lock_guard<std::mutex> lock(panel.cache);
    Json s = panel.snapshot;
    s["version"] = panel.version;
    s["read_only"] = panel.read_only;
    return JsonResponse(200, s);
  }
  if (r.path == "/api/settings") return JsonResponse(200, SettingsTable());
  if (r.path == "/api/trend") return Trend(panel, r);
  if (r.path == "/api/trend.csv") {
    std::deque<TrendSample> trend;
    {
      std::lock_guard<std::mutex> lock(panel.cache);
      trend = panel.trend;
    }
    Response csv;
    csv.type = "text/csv; charset=utf-8";
    csv.disposition = "attachment; filename=\"kestravo-trend.csv\"";
    csv.body = TrendCsv(trend);
    return csv;
  }
  if (r.path == "/api/config/file") return ConfigFile(panel, r);
  if (r.path == "/api/memory/backup") {
    std::string text, error;
    if (!MemoryBackupText(panel.slot, panel.gate, text, error)) return Error(502, error);
    return Download(text, "kestravo-memory.txt");
  }
  if (r.path == "/api/configs") {
    Json out;
    std::string error;
    if (!ReadConfigList(panel.slot, panel.gate, out, error)) return Error(502, error);
    return JsonResponse(200, out);
  }
  return Error(404, "no such page");
}

Response Post(Panel& panel, const Request& r) {
  const Json body = Json::parse(r.body, nullptr, false);
  if (body.is_discarded()) return Error(400, "the body is not JSON");
  Json result;
  std::string error;
  bool ok = false;
  if (r.path == "/api/config/upload") {
    ok = UploadConfigFile(panel.slot, panel.gate, body, result, error);
  } else if (r.path == "/api/memory/restore") {
    ok = RestoreMemory(panel.slot, panel.gate, body, result, error);
  } else if (r.path == "/api/trigger") {
    ok = SoftwareTrigger(panel.slot, panel.gate, body, result, error);
  } else {
    const std::unique_lock<std::mutex> lock = panel.gate.Change();
    if (r.path == "/api/set") {
      ok = ChangeSetting(panel.slot, body, result, error);
      if (ok) {
        // A script that reads the state after its change finds the value read back; kept while
        // the slot is still held, so that two changes of one value are kept in the device's order.
        std::lock_guard<std::mutex> cached(panel.cache);
        KeepReadBack(panel.snapshot, result);
        panel.changes.push_back(result);
        ++panel.version;
      }
    } else if (r.path.rfind("/api/config/", 0) == 0) {
      ok = ConfigAction(panel.slot, r.path.substr(12), body, result, error);
    } else {
      return Error(404, "no such action");
    }
  }
  if (!ok) return Error(400, error);
  panel.refresh = true;
  return JsonResponse(200, result);
}

}  // namespace

Response Handle(Panel& panel, const Request& request) {
  std::string why;
  if (const int status = Refusal(panel, request, why)) return Error(status, why);
  return request.method == "POST" ? Post(panel, request) : Get(panel, request);
}

void Poll(Panel& panel) {
  {
    std::lock_guard<std::mutex> lock(panel.cache);
    panel.changes.clear();
  }
  Json snapshot = ReadSnapshot(panel.slot, panel.gate);
  if (!snapshot["connected"].get<bool>()) {
    // The device is gone or the line failed: the slot is opened again for the next poll.
    const std::unique_lock<std::mutex> lock = panel.gate.Change();
    COM_KESTRAVO_Close(panel.slot);
    COM_KESTRAVO_OpenPort(panel.slot, panel.port.c_str());
  }
  std::lock_guard<std::mutex> lock(panel.cache);
  for (const Json& change : panel.changes) KeepReadBack(snapshot, change);
  panel.snapshot = snapshot;
  ++panel.version;
}

void SampleTrend(Panel& panel) {
  {
    std::lock_guard<std::mutex> lock(panel.cache);
    if (!panel.snapshot.value("connected", false)) return;
  }
  TrendSample sample;
  if (!ReadTrendSample(panel.slot, panel.gate, sample)) return;
  std::lock_guard<std::mutex> lock(panel.cache);
  panel.trend.push_back(sample);
  ++panel.trend_next;
  if (panel.trend.size() > kTrendSamples) panel.trend.pop_front();
}

std::set<std::string> AcceptedHosts(const std::string& listen_address, uint16_t port) {
  const std::string p = ":" + std::to_string(port);
  std::set<std::string> hosts = {"127.0.0.1" + p, "localhost" + p, "[::1]" + p};
  if (listen_address != "0.0.0.0" && listen_address != "::") hosts.insert(listen_address + p);
  return hosts;
}

std::string TrendCsv(const std::deque<TrendSample>& trend) {
  std::string csv = control::kDataLogHeader;
  std::replace(csv.begin(), csv.end(), '\t', ',');
  for (const TrendSample& s : trend)
    csv += control::Format("%d.%02d,%.2f,%.2f,%.2f,%.3f,%.3f,%.3f,%.2f,%u,%u,%u\n", int(s.uptime_s),
                           s.uptime_ms / 10, s.sensors[0], s.sensors[1], s.sensors[2], s.volt_12v, s.volt_5v0,
                           s.volt_3v3, s.cpu_temp, unsigned(s.fans[0]), unsigned(s.fans[1]),
                           unsigned(s.fans[2]));
  return csv;
}

}  // namespace panel
