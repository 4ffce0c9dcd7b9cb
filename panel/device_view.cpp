#include "panel/device_view.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "COM-KESTRAVO.h"
#include "control/common/device_texts.h"
#include "control/common/library_calls.h"

namespace panel {

std::unique_lock<std::mutex> SlotGate::Change() {
  ++changes_waiting_;
  std::unique_lock<std::mutex> lock(mutex_);
  --changes_waiting_;
  return lock;
}

std::unique_lock<std::mutex> SlotGate::Call() {
  while (changes_waiting_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return std::unique_lock<std::mutex>(mutex_);
}

namespace {

// One library call of a reader, through the gate.
template <typename F>
int32_t Gated(SlotGate& gate, F call) {
  const std::unique_lock<std::mutex> lock = gate.Call();
  return call();
}

// The device counts times in steps of 10 ns from an offset of its own.
double Seconds(uint32_t raw, uint32_t offset) { return double(uint64_t(raw) + offset) * 1e-8; }

using Getter = int32_t (*)(uint16_t, uint32_t, uint32_t&);
using Setter = int32_t (*)(uint16_t, uint32_t, uint32_t);
using control::GetIndexed;
using control::GetPlain;
using control::SetPlain;

// The rise and fall delays share one call each way: the other is read and written back.
int32_t GetDelay(uint16_t slot, uint32_t sw, uint32_t& value, bool rise) {
  uint8_t r = 0, f = 0;
  const int32_t result = COM_KESTRAVO_GetSwitchTriggerDelay(slot, sw, &r, &f);
  value = rise ? r : f;
  return result;
}
int32_t SetDelay(uint16_t slot, uint32_t sw, uint32_t value, bool rise) {
  uint8_t r = 0, f = 0;
  if (const int32_t result = COM_KESTRAVO_GetSwitchTriggerDelay(slot, sw, &r, &f)) return result;
  return COM_KESTRAVO_SetSwitchTriggerDelay(slot, sw, rise ? value : r, rise ? f : value);
}
int32_t GetRise(uint16_t s, uint32_t i, uint32_t& v) { return GetDelay(s, i, v, true); }
int32_t GetFall(uint16_t s, uint32_t i, uint32_t& v) { return GetDelay(s, i, v, false); }
int32_t SetRise(uint16_t s, uint32_t i, uint32_t v) { return SetDelay(s, i, v, true); }
int32_t SetFall(uint16_t s, uint32_t i, uint32_t v) { return SetDelay(s, i, v, false); }

struct SettingRow {
  const char* name;
  uint32_t count;    // indices 0 to count - 1
  uint32_t highest;  // the highest raw value
  Getter get;
  Setter set;
  int offset;  // >= 0: a time, (raw + offset) x 10 ns; -1: a count or a code
};

// clang-format off
const SettingRow kSettings[] = {
  {"oscillator_period", 1, 0xFFFFFFFFu, GetPlain<uint32_t, COM_KESTRAVO_GetOscillatorPeriod>,
   SetPlain<uint32_t, COM_KESTRAVO_SetOscillatorPeriod>, 2},
  {"pulser_delay", 4, 0xFFFFFFFFu, GetIndexed<uint32_t, COM_KESTRAVO_GetPulserDelay>,
   COM_KESTRAVO_SetPulserDelay, 3},
  {"pulser_width", 4, 0xFFFFFFFFu, GetIndexed<uint32_t, COM_KESTRAVO_GetPulserWidth>,
   COM_KESTRAVO_SetPulserWidth, 2},
  {"burst_size", 2, 0xFFFFFFu, GetIndexed<uint32_t, COM_KESTRAVO_GetPulserBurst>, COM_KESTRAVO_SetPulserBurst, -1},
  {"source_selector", 6, 0x3F, GetIndexed<uint8_t, COM_KESTRAVO_GetPulserConfig>,
   COM_KESTRAVO_SetPulserConfig, -1},
  {"switch_trigger_source", 4, 0x3F, GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchTriggerConfig>,
   COM_KESTRAVO_SetSwitchTriggerConfig, -1},
  {"switch_enable_source", 4, 0x3F, GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchEnableConfig>,
   COM_KESTRAVO_SetSwitchEnableConfig, -1},
  {"switch_enable_delay", 4, 15, GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchEnableDelay>,
   COM_KESTRAVO_SetSwitchEnableDelay, -1},
  {"switch_rise_delay", 4, 15, GetRise, SetRise, -1},
  {"switch_fall_delay", 4, 15, GetFall, SetFall, -1},
  {"trigger_mapping", 5, 15, GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchTriggerMapping>,
   COM_KESTRAVO_SetSwitchTriggerMapping, -1},
  {"enable_mapping", 5, 15, GetIndexed<uint8_t, COM_KESTRAVO_GetSwitchEnableMapping>,
   COM_KESTRAVO_SetSwitchEnableMapping, -1},
  {"trigger_mapping_on", 1, 1, GetPlain<uint8_t, COM_KESTRAVO_GetSwitchTriggerMappingEnable>,
   SetPlain<uint8_t, COM_KESTRAVO_SetSwitchTriggerMappingEnable>, -1},
  {"enable_mapping_on", 1, 1, GetPlain<uint8_t, COM_KESTRAVO_GetSwitchEnableMappingEnable>,
   SetPlain<uint8_t, COM_KESTRAVO_SetSwitchEnableMappingEnable>, -1},
  {"device_enable", 1, 1, GetPlain<int32_t, COM_KESTRAVO_GetDeviceEnable>,
   SetPlain<int32_t, COM_KESTRAVO_SetDeviceEnable>, -1},
};
// clang-format on

const SettingRow* FindSetting(const std::string& name) {
  for (const SettingRow& row : kSettings)
    if (name == row.name) return &row;
  return nullptr;
}

Json Value(const SettingRow& row, uint32_t raw) {
  Json v = {{"raw", raw}};
  if (row.offset >= 0) v["seconds"] = Seconds(raw, uint32_t(row.offset));
  return v;
}

// Reads every index of a setting into a list (or the one value); false after a failed call,
// with the operation's name in failed.
bool ReadSetting(uint16_t slot, SlotGate& gate, const SettingRow& row, Json& out, std::string& failed) {
  Json list = Json::array();
  for (uint32_t i = 0; i < row.count; ++i) {
    uint32_t raw = 0;
    if (Gated(gate, [&] { return row.get(slot, i, raw); }) != 0) {
      failed = row.name;
      return false;
    }
    list.push_back(Value(row, raw));
  }
  out[row.name] = row.count == 1 ? list[0] : list;
  return true;
}

// A word's named bits.
struct Bit {
  int bit;
  const char* name;
};
const Bit kControllerBits[] = {
    {0, "device_enable"},    {1, "oscillator_enable"},      {2, "pulser_enable"},     {3, "software_trigger"},
    {4, "software_pulse"},   {5, "prevent_device_disable"}, {6, "dithering_disable"}, {8, "master_enable"},
    {9, "soft_trigger_out"}, {10, "device_enabled"}};
const Bit kDeviceBits[] = {{0, "cpu_voltage_failed"}, {1, "fan_voltage_failed"}, {8, "fan1_failed"},
                           {9, "fan2_failed"},        {10, "fan3_failed"},       {15, "controller_disabled"},
                           {16, "sensor1_hot"},       {17, "sensor2_hot"},       {18, "sensor3_hot"},
                           {24, "sensor1_cold"},      {25, "sensor2_cold"},      {26, "sensor3_cold"}};
template <size_t N>
Json Bits(uint32_t word, const Bit (&bits)[N]) {
  Json j = {{"value", word}};
  for (const Bit& b : bits) j[b.name] = ((word >> b.bit) & 1) != 0;
  return j;
}

bool ReadIdentity(uint16_t slot, SlotGate& gate, Json& out, std::string& failed) {
  uint32_t number = 0;
  char id[COM_KESTRAVO_PRODUCT_ID_SIZE] = "", date[COM_KESTRAVO_FW_DATE_SIZE] = "";
  uint16_t fw = 0, type = 0, version = 0;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetProductNo(slot, &number); }) != 0)
    return failed = "COM_KESTRAVO_GetProductNo", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetProductID(slot, id); }) != 0)
    return failed = "COM_KESTRAVO_GetProductID", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetFWVersion(slot, &fw); }) != 0)
    return failed = "COM_KESTRAVO_GetFWVersion", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetFWDate(slot, date); }) != 0)
    return failed = "COM_KESTRAVO_GetFWDate", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetHWType(slot, &type); }) != 0)
    return failed = "COM_KESTRAVO_GetHWType", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetHWVersion(slot, &version); }) != 0)
    return failed = "COM_KESTRAVO_GetHWVersion", false;
  char fw_text[16], hw_text[16];
  std::snprintf(fw_text, sizeof fw_text, "%d.%02d", fw >> 8, fw & 0xFF);
  std::snprintf(hw_text, sizeof hw_text, "%d.%02d", version >> 8, version & 0xFF);
  out["identity"] = {{"product_no", number},  {"product_id", Json::string_t(id)},
                     {"fw_version", fw_text}, {"fw_date", Json::string_t(date)},
                     {"hw_type", type},       {"hw_version", hw_text}};
  return true;
}

bool ReadHealth(uint16_t slot, SlotGate& gate, Json& out, std::string& failed) {
  uint16_t main_state = 0, controller = 0, ms = 0;
  uint32_t device_state = 0, up = 0, op = 0, total_up = 0, total_op = 0;
  double v12 = 0, v5 = 0, v3 = 0, cpu_temp = 0, load = 0, freq = 0, t[3] = {};
  int32_t en[3] = {}, fail[3] = {}, red = 0, green = 0, blue = 0;
  uint16_t set[3] = {}, measured[3] = {}, pwm[3] = {};
  if (Gated(gate, [&] { return COM_KESTRAVO_GetMainState(slot, &main_state); }) != 0)
    return failed = "COM_KESTRAVO_GetMainState", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetDeviceState(slot, &device_state); }) != 0)
    return failed = "COM_KESTRAVO_GetDeviceState", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetControllerState(slot, &controller); }) != 0)
    return failed = "COM_KESTRAVO_GetControllerState", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetHousekeeping(slot, &v12, &v5, &v3, &cpu_temp); }) != 0)
    return failed = "COM_KESTRAVO_GetHousekeeping", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetSensorData(slot, t); }) != 0)
    return failed = "COM_KESTRAVO_GetSensorData", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetFanData(slot, en, fail, set, measured, pwm); }) != 0)
    return failed = "COM_KESTRAVO_GetFanData", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetLEDData(slot, &red, &green, &blue); }) != 0)
    return failed = "COM_KESTRAVO_GetLEDData", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetCPUData(slot, &load, &freq); }) != 0)
    return failed = "COM_KESTRAVO_GetCPUData", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetUptime(slot, &up, &ms, &op); }) != 0)
    return failed = "COM_KESTRAVO_GetUptime", false;
  if (Gated(gate, [&] { return COM_KESTRAVO_GetTotalTime(slot, &total_up, &total_op); }) != 0)
    return failed = "COM_KESTRAVO_GetTotalTime", false;
  std::string state = control::MainStateLine(main_state, control::MainStateForm::kOnce);
  if (!state.empty() && state.back() == '\n') state.pop_back();
  Json fans = Json::array();
  for (int k = 0; k < 3; ++k)
    fans.push_back({{"enabled", en[k] != 0},
                    {"failed", fail[k] != 0},
                    {"set_rpm", set[k]},
                    {"measured_rpm", measured[k]},
                    {"pwm_percent", pwm[k] / 10.0}});
  out["health"] = {
      {"main_state", {{"value", main_state}, {"text", state}}},
      {"device_state", Bits(device_state, kDeviceBits)},
      {"controller_state", Bits(controller, kControllerBits)},
      {"housekeeping", {{"volt_12v", v12}, {"volt_5v0", v5}, {"volt_3v3", v3}, {"cpu_temp", cpu_temp}}},
      {"sensors", {t[0], t[1], t[2]}},
      {"fans", fans},
      {"leds", {{"red", red != 0}, {"green", green != 0}, {"blue", blue != 0}}},
      {"cpu", {{"load", load}, {"frequency_hz", freq}}}};
  out["uptime"] = {{"seconds", up},
                   {"milliseconds", ms},
                   {"operating_seconds", op},
                   {"total_seconds", total_up},
                   {"total_operating_seconds", total_op}};
  return true;
}

// Names of stored configurations are Windows-1252 bytes on the device; JSON carries UTF-8. The
// five bytes Windows-1252 leaves free stand for the control characters of the same number, as
// browsers read them.
const uint16_t kHighCodes[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string NameText(const uint8_t* name) {
  std::string text;
  for (size_t i = 0; i < COM_KESTRAVO_NAME_SIZE && name[i]; ++i) {
    const uint32_t c = name[i] >= 0x80 && name[i] < 0xA0 ? kHighCodes[name[i] - 0x80] : name[i];
    if (c < 0x80) {
      text += char(c);
    } else if (c < 0x800) {
      text += char(0xC0 | (c >> 6));
      text += char(0x80 | (c & 0x3F));
    } else {
      text += char(0xE0 | (c >> 12));
      text += char(0x80 | ((c >> 6) & 0x3F));
      text += char(0x80 | (c & 0x3F));
    }
  }
  return text;
}

// The byte of one character; false for a character Windows-1252 does not hold.
bool NameByte(uint32_t c, char& byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return byte = char(c), true;
  for (int k = 0; k < 32; ++k)
    if (kHighCodes[k] == c) return byte = char(0x80 + k), true;
  return false;
}

// The bytes of a UTF-8 name; false when it is not UTF-8 or holds a character the device cannot store.
bool NameBytes(const std::string& text, std::string& bytes) {
  for (size_t i = 0; i < text.size();) {
    const uint8_t lead = uint8_t(text[i]);
    const size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t c = length == 1 ? lead : lead & (length == 2 ? 0x1F : 0x0F);
    for (size_t k = 1; k < length; ++k) {
      const uint8_t next = uint8_t(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    char byte = 0;
    if (!NameByte(c, byte)) return false;
    bytes += byte;
    i += length;
  }
  return true;
}

bool CheckedNumber(const Json& request, const char* key, uint32_t highest, uint32_t& value,
                   std::string& error) {
  auto it = request.find(key);
  if (it == request.end()) return error = std::string("'") + key + "' is missing", false;
  if (!it->is_number_unsigned() && !(it->is_number_integer() && it->get<int64_t>() >= 0)) {
    error = std::string("'") + key + "' must be a whole number from 0";
    return false;
  }
  const uint64_t v = it->get<uint64_t>();
  if (v > highest) {
    error = std::string("'") + key + "' is out of range (0 to " + std::to_string(highest) + ")";
    return false;
  }
  value = uint32_t(v);
  return true;
}

// A time in seconds as the device's steps of 10 ns from the setting's offset, to the nearest step.
bool StepsOf(const Json& seconds, const SettingRow& row, uint32_t& raw, std::string& error) {
  if (!seconds.is_number()) return error = "'seconds' must be a number", false;
  const double steps = std::nearbyint(seconds.get<double>() * 1e8) - double(row.offset);
  if (!(steps >= 0) || steps > double(row.highest)) {
    error = "'seconds' is out of range (" + std::to_string(row.offset * 10) + " ns to " +
            std::to_string((double(row.highest) + row.offset) * 1e-8) + " s)";
    return false;
  }
  raw = uint32_t(steps);
  return true;
}

}  // namespace

std::string Failure(const char* operation, uint16_t slot) {
  return std::string(operation) + ": " + COM_KESTRAVO_GetErrorMessage(slot);
}

Json ReadSnapshot(uint16_t slot, SlotGate& gate) {
  Json out = {{"connected", true}};
  std::string failed;
  Json timing = Json::object();
  bool ok = ReadIdentity(slot, gate, out, failed) && ReadHealth(slot, gate, out, failed);
  for (const SettingRow& row : kSettings) ok = ok && ReadSetting(slot, gate, row, timing, failed);
  if (!ok) return {{"connected", false}, {"error", Failure(failed.c_str(), slot)}};
  out["settings"] = timing;
  return out;
}

bool ReadTrendSample(uint16_t slot, SlotGate& gate, TrendSample& out) {
  int32_t enabled[3] = {}, failed[3] = {};
  uint16_t set[3] = {}, pwm[3] = {};
  uint32_t operating = 0;
  return Gated(gate,
               [&] { return COM_KESTRAVO_GetUptime(slot, &out.uptime_s, &out.uptime_ms, &operating); }) ==
             0 &&
         Gated(gate, [&] { return COM_KESTRAVO_GetSensorData(slot, out.sensors); }) == 0 &&
         Gated(gate,
               [&] {
                 return COM_KESTRAVO_GetHousekeeping(slot, &out.volt_12v, &out.volt_5v0, &out.volt_3v3,
                                                     &out.cpu_temp);
               }) == 0 &&
         Gated(gate, [&] { return COM_KESTRAVO_GetFanData(slot, enabled, failed, set, out.fans, pwm); }) == 0;
}

Json TrendJson(const TrendSample& s) {
  return {{"uptime", s.uptime_s + s.uptime_ms / 1000.0},
          {"sensors", {s.sensors[0], s.sensors[1], s.sensors[2]}},
          {"volt_12v", s.volt_12v},
          {"volt_5v0", s.volt_5v0},
          {"volt_3v3", s.volt_3v3},
          {"cpu_temp", s.cpu_temp},
          {"fans", {s.fans[0], s.fans[1], s.fans[2]}}};
}

void KeepReadBack(Json& snapshot, const Json& change) {
  if (!snapshot.value("connected", false) || !snapshot.contains("settings")) return;
  Json& setting = snapshot["settings"][change["setting"].get<std::string>()];
  if (setting.is_array())
    setting[change["index"].get<size_t>()] = change["value"];
  else
    setting = change["value"];
}

Json SettingsTable() {
  Json settings = Json::array();
  for (const SettingRow& row : kSettings) {
    Json r = {{"name", row.name}, {"count", row.count}, {"highest", row.highest}};
    if (row.offset >= 0) r["offset_10ns"] = row.offset;
    settings.push_back(r);
  }
  Json sources = Json::array();
  for (unsigned i = 0; i < control::kDIOSources; ++i) sources.push_back(control::SourceName(i));
  return {{"settings", settings}, {"sources", sources}, {"signal_sources", control::kSignalSources}};
}

bool ChangeSetting(uint16_t slot, const Json& request, Json& result, std::string& error) {
  if (!request.is_object()) return error = "the request must be a JSON object", false;
  auto name = request.find("setting");
  if (name == request.end() || !name->is_string()) return error = "'setting' must name a setting", false;
  const SettingRow* row = FindSetting(name->get<std::string>());
  if (!row) return error = "no setting '" + name->get<std::string>() + "'", false;
  uint32_t index = 0, raw = 0;
  if (row->count > 1 || request.contains("index"))
    if (!CheckedNumber(request, "index", row->count - 1, index, error)) return false;
  if (!request.contains("raw") && request.contains("seconds") && row->offset >= 0) {
    if (!StepsOf(request["seconds"], *row, raw, error)) return false;
  } else if (!CheckedNumber(request, "raw", row->highest, raw, error)) {
    return false;
  }
  if (row->set(slot, index, raw) != 0) return error = Failure(row->name, slot), false;
  uint32_t back = 0;
  if (row->get(slot, index, back) != 0) return error = Failure(row->name, slot), false;
  result = {{"setting", row->name}, {"index", index}, {"value", Value(*row, back)}};
  return true;
}

bool ReadConfigList(uint16_t slot, SlotGate& gate, Json& out, std::string& error) {
  uint8_t active[COM_KESTRAVO_CONFIG_COUNT] = {}, valid[COM_KESTRAVO_CONFIG_COUNT] = {};
  if (Gated(gate, [&] { return COM_KESTRAVO_GetConfigList(slot, active, valid); }) != 0)
    return error = Failure("COM_KESTRAVO_GetConfigList", slot), false;
  Json places = Json::array();
  for (uint32_t n = 0; n < COM_KESTRAVO_CONFIG_COUNT; ++n) {
    Json place = {{"number", n}, {"active", active[n] != 0}, {"valid", valid[n] != 0}, {"name", nullptr}};
    if (valid[n]) {
      uint8_t name[COM_KESTRAVO_NAME_SIZE + 1] = {};
      if (Gated(gate, [&] { return COM_KESTRAVO_GetConfigName(slot, n, name); }) != 0)
        return error = Failure("COM_KESTRAVO_GetConfigName", slot), false;
      place["name"] = NameText(name);
    }
    places.push_back(place);
  }
  out = {{"places", places}};
  return true;
}

bool ConfigAction(uint16_t slot, const std::string& action, const Json& request, Json& result,
                  std::string& error) {
  if (!request.is_object()) return error = "the request must be a JSON object", false;
  uint32_t n = 0;
  if (!CheckedNumber(request, "number", COM_KESTRAVO_CONFIG_COUNT - 1, n, error)) return false;
  int32_t r = 0;
  const char* op = "";
  if (action == "save") {
    op = "COM_KESTRAVO_SaveCurrentConfig";
    r = COM_KESTRAVO_SaveCurrentConfig(slot, n);
  } else if (action == "load") {
    op = "COM_KESTRAVO_LoadCurrentConfig";
    r = COM_KESTRAVO_LoadCurrentConfig(slot, n);
  } else if (action == "name") {
    auto name = request.find("name");
    if (name == request.end() || !name->is_string()) return error = "'name' must be a text", false;
    const std::string text = name->get<std::string>();
    std::string bytes;
    if (!NameBytes(text, bytes)) return error = "the name holds a character the device cannot store", false;
    if (bytes.find('\0') != std::string::npos) return error = "the name holds a NUL character", false;
    if (bytes.size() >= COM_KESTRAVO_NAME_SIZE) return error = "the name is longer than 51 characters", false;
    uint8_t stored[COM_KESTRAVO_NAME_SIZE] = {};
    std::memcpy(stored, bytes.data(), bytes.size());
    op = "COM_KESTRAVO_SetConfigName";
    r = COM_KESTRAVO_SetConfigName(slot, n, stored);
  } else if (action == "delete" || action == "undelete") {
    uint8_t active = 0, valid = 0;
    if (COM_KESTRAVO_GetConfigFlags(slot, n, &active, &valid) != 0)
      return error = Failure("COM_KESTRAVO_GetConfigFlags", slot), false;
    if (!valid) return error = "the configuration is invalid", false;
    op = "COM_KESTRAVO_SetConfigFlags";
    r = COM_KESTRAVO_SetConfigFlags(slot, n, action == "undelete", 1);
  } else {
    return error = "no configuration action '" + action + "'", false;
  }
  if (r != 0) return error = Failure(op, slot), false;
  result = {{"number", n}, {"done", action}};
  return true;
}

}  // namespace panel
