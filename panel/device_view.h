// The device as the panel shows it and changes it, through the public interface only: one
// snapshot of everything the page draws, the settings a click may change (with their ranges,
// checked before anything is sent, and the value read back after), and the stored configurations.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace panel {

using Json = nlohmann::json;

// Who uses the slot. A change (a set and its read-back, a configuration action) holds it for its
// calls and waits at most for the exchange in progress: a reader of many values (the snapshot,
// the list of configurations) takes it one call at a time and gives way while a change waits.
class SlotGate {
 public:
  std::unique_lock<std::mutex> Change();
  std::unique_lock<std::mutex> Call();

 private:
  std::mutex mutex_;
  std::atomic<int> changes_waiting_{0};
};

// "<operation>: <the library's text of the slot's last result>".
std::string Failure(const char* operation, uint16_t slot);

// Everything the page shows, read from the slot: identity, the pulse sequence, health. A failed
// read gives {"connected": false, "error": <operation>}.
Json ReadSnapshot(uint16_t slot, SlotGate& gate);
// One record of the trend: what the console program's data log records, read by the same calls.
struct TrendSample {
  uint32_t uptime_s = 0;
  uint16_t uptime_ms = 0;
  double sensors[3] = {};  // degrees Celsius
  double volt_12v = 0, volt_5v0 = 0, volt_3v3 = 0, cpu_temp = 0;
  uint16_t fans[3] = {};  // measured rpm
};
bool ReadTrendSample(uint16_t slot, SlotGate& gate, TrendSample& out);
Json TrendJson(const TrendSample& sample);

// A change of one setting: {"setting": name, "index": n, "raw": value}. Refused (with the reason
// in error and nothing sent) when the setting is unknown, the index or the value out of range or
// of the wrong type; else the result holds the value read back after the change.
bool ChangeSetting(uint16_t slot, const Json& request, Json& result, std::string& error);
// Puts a change's read-back (ChangeSetting's result) into a snapshot, so that the snapshot shows
// the setting as it is now without reading everything again.
void KeepReadBack(Json& snapshot, const Json& change);
// The names of the settings, with their index counts and ranges, for the page and for scripts.
Json SettingsTable();

// The stored configurations: {"places": [{"number", "name", "active", "valid"}...]}.
bool ReadConfigList(uint16_t slot, SlotGate& gate, Json& out, std::string& error);
// "save", "load", "name" (with "name"), "delete", "undelete" of {"number": n}: checked first.
bool ConfigAction(uint16_t slot, const std::string& action, const Json& request, Json& result,
                  std::string& error);

}  // namespace panel
