#include "panel/snapshot.h"

#include <cstdio>

#include "COM-KESTRAVO.h"
#include "model/cp1252.h"
#include "model/device_texts.h"
#include "panel/settings_api.h"

namespace panel {
namespace {

// Everything the identity and health reads give.
struct Readings {
  uint32_t product_no = 0;
  char product_id[COM_KESTRAVO_PRODUCT_ID_SIZE] = "", fw_date[COM_KESTRAVO_FW_DATE_SIZE] = "";
  uint16_t fw = 0, hw_type = 0, hw_version = 0;
  uint16_t main_state = 0, controller = 0;
  uint32_t device_state = 0, operating = 0, total_up = 0, total_op = 0;
  double load = 0, frequency = 0;
  int32_t fan_enabled[3] = {}, fan_failed[3] = {}, red = 0, green = 0, blue = 0;
  uint16_t fan_set[3] = {}, fan_pwm[3] = {};
  model::DataLogRecord log;  // uptime, sensors, supplies, CPU temperature, measured fan speeds
};

// One library call into the readings; trend marks the reads of the data log's record.
struct Read {
  const char* call;
  int32_t (*read)(uint16_t slot, Readings& r);
  bool trend;
};

// clang-format off
const Read kIdentityReads[] = {
  {"COM_KESTRAVO_GetProductNo", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetProductNo(s, &r.product_no); }, false},
  {"COM_KESTRAVO_GetProductID", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetProductID(s, r.product_id); }, false},
  {"COM_KESTRAVO_GetFWVersion", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetFWVersion(s, &r.fw); }, false},
  {"COM_KESTRAVO_GetFWDate", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetFWDate(s, r.fw_date); }, false},
  {"COM_KESTRAVO_GetHWType", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetHWType(s, &r.hw_type); }, false},
  {"COM_KESTRAVO_GetHWVersion", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetHWVersion(s, &r.hw_version); }, false},
};
const Read kHealthReads[] = {
  {"COM_KESTRAVO_GetMainState", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetMainState(s, &r.main_state); }, false},
  {"COM_KESTRAVO_GetDeviceState", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetDeviceState(s, &r.device_state); }, false},
  {"COM_KESTRAVO_GetControllerState", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetControllerState(s, &r.controller); }, false},
  {"COM_KESTRAVO_GetUptime", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetUptime(s, &r.log.uptime_s, &r.log.uptime_ms, &r.operating); }, true},
  {"COM_KESTRAVO_GetSensorData", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetSensorData(s, r.log.sensors); }, true},
  {"COM_KESTRAVO_GetHousekeeping", [](uint16_t s, Readings& r) {
     return COM_KESTRAVO_GetHousekeeping(s, &r.log.volt_12v, &r.log.volt_5v0, &r.log.volt_3v3, &r.log.cpu_temp); }, true},
  {"COM_KESTRAVO_GetFanData", [](uint16_t s, Readings& r) {
     return COM_KESTRAVO_GetFanData(s, r.fan_enabled, r.fan_failed, r.fan_set, r.log.fans, r.fan_pwm); }, true},
  {"COM_KESTRAVO_GetLEDData", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetLEDData(s, &r.red, &r.green, &r.blue); }, false},
  {"COM_KESTRAVO_GetCPUData", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetCPUData(s, &r.load, &r.frequency); }, false},
  {"COM_KESTRAVO_GetTotalTime", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetTotalTime(s, &r.total_up, &r.total_op); }, false},
};
// clang-format on

// The reads of a table (only the trend's when trend_only), one call at a time through the gate;
// false at the first that fails, with its name in failed.
template <size_t N>
bool ReadAll(uint16_t slot, SlotGate& gate, const Read (&reads)[N], Readings& r, const char*& failed,
             bool trend_only = false) {
  for (const Read& read : reads) {
    if (trend_only && !read.trend) continue;
    const SlotGate::Hold hold = gate.Call();
    if (read.read(slot, r) != 0) return failed = read.call, false;
  }
  return true;
}

template <size_t N>
Json Bits(uint32_t word, const model::NamedBit (&bits)[N]) {
  Json j = {{"value", word}};
  for (const model::NamedBit& b : bits) j[b.name] = ((word >> b.bit) & 1) != 0;
  return j;
}

std::string Version(uint16_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", v >> 8, v & 0xFF);
  return text;
}

std::string Text(const char* bytes, size_t size) {
  return model::Utf8FromCp1252(reinterpret_cast<const uint8_t*>(bytes), size);
}

Json IdentityJson(const Readings& r) {
  // The device's texts are Windows-1252 bytes, as configuration names are: JSON takes them as UTF-8.
  return {{"product_no", r.product_no},  {"product_id", Text(r.product_id, sizeof r.product_id)},
          {"fw_version", Version(r.fw)}, {"fw_date", Text(r.fw_date, sizeof r.fw_date)},
          {"hw_type", r.hw_type},        {"hw_version", Version(r.hw_version)}};
}

Json HealthJson(const Readings& r) {
  std::string state = model::MainStateLine(r.main_state, model::MainStateForm::kOnce);
  if (!state.empty() && state.back() == '\n') state.pop_back();
  Json fans = Json::array();
  for (int k = 0; k < 3; ++k)
    fans.push_back({{"enabled", r.fan_enabled[k] != 0},
                    {"failed", r.fan_failed[k] != 0},
                    {"set_rpm", r.fan_set[k]},
                    {"measured_rpm", r.log.fans[k]},
                    {"pwm_percent", r.fan_pwm[k] / 10.0}});
  const model::DataLogRecord& log = r.log;
  return {{"main_state", {{"value", r.main_state}, {"text", state}}},
          {"device_state", Bits(r.device_state, model::kDeviceStateBits)},
          {"controller_state", Bits(r.controller, model::kControllerBits)},
          {"housekeeping",
           {{"volt_12v", log.volt_12v},
            {"volt_5v0", log.volt_5v0},
            {"volt_3v3", log.volt_3v3},
            {"cpu_temp", log.cpu_temp}}},
          {"sensors", {log.sensors[0], log.sensors[1], log.sensors[2]}},
          {"fans", fans},
          {"leds", {{"red", r.red != 0}, {"green", r.green != 0}, {"blue", r.blue != 0}}},
          {"cpu", {{"load", r.load}, {"frequency_hz", r.frequency}}}};
}

}  // namespace

Json ReadSnapshot(uint16_t slot, SlotGate& gate) {
  Readings r;
  const char* failed = "";
  Json out = {{"connected", true}};
  if (!ReadAll(slot, gate, kIdentityReads, r, failed) || !ReadAll(slot, gate, kHealthReads, r, failed) ||
      !ReadEverySetting(slot, gate, out, failed))
    return {{"connected", false}, {"error", DeviceFailed(failed, slot).error}};
  out["identity"] = IdentityJson(r);
  out["health"] = HealthJson(r);
  out["uptime"] = {{"seconds", r.log.uptime_s},
                   {"milliseconds", r.log.uptime_ms},
                   {"operating_seconds", r.operating},
                   {"total_seconds", r.total_up},
                   {"total_operating_seconds", r.total_op}};
  return out;
}

bool ReadTrendSample(uint16_t slot, SlotGate& gate, model::DataLogRecord& out) {
  Readings r;
  const char* failed = "";
  if (!ReadAll(slot, gate, kHealthReads, r, failed, true)) return false;
  out = r.log;
  return true;
}

Json TrendJson(const model::DataLogRecord& s) {
  return {{"uptime", s.uptime_s + s.uptime_ms / 1000.0},
          {"sensors", {s.sensors[0], s.sensors[1], s.sensors[2]}},
          {"volt_12v", s.volt_12v},
          {"volt_5v0", s.volt_5v0},
          {"volt_3v3", s.volt_3v3},
          {"cpu_temp", s.cpu_temp},
          {"fans", {s.fans[0], s.fans[1], s.fans[2]}}};
}

}  // namespace panel
