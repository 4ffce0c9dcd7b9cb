#include "panel/snapshot.h"

#include "COM-KESTRAVO.h"
#include "model/device_texts.h"
#include "model/readings.h"
#include "panel/settings_api.h"

namespace panel {
namespace {

using model::Readings;

// One call at a time through the gate.
template <size_t N>
bool ReadAll(uint16_t slot, SlotGate& gate, const model::Read (&reads)[N], Readings& r, const char*& failed,
             bool trend_only = false) {
  return model::ReadAll(
      slot, reads, r, failed, [&gate] { return gate.Call(); }, trend_only);
}

template <size_t N>
Json Bits(uint32_t word, const model::NamedBit (&bits)[N]) {
  Json j = {{"value", word}};
  for (const model::NamedBit& b : bits) j[b.name] = ((word >> b.bit) & 1) != 0;
  return j;
}

Json IdentityJson(const Readings& r) {
  // The device's texts are Windows-1252 bytes, as configuration names are: JSON takes them as UTF-8.
  return {{"product_no", r.product_no},
          {"product_id", model::DeviceText(r.product_id, sizeof r.product_id)},
          {"fw_version", model::VersionText(r.fw)},
          {"fw_date", model::DeviceText(r.fw_date, sizeof r.fw_date)},
          {"hw_type", r.hw_type},
          {"hw_version", model::VersionText(r.hw_version)}};
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
  if (!ReadAll(slot, gate, model::kIdentityReads, r, failed) ||
      !ReadAll(slot, gate, model::kHealthReads, r, failed) || !ReadEverySetting(slot, gate, out, failed))
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
  if (!ReadAll(slot, gate, model::kHealthReads, r, failed, true)) return false;
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
