#include "model/readings.h"

#include <cstdio>
#include <cstring>

#include "model/cp1252.h"

namespace model {

// clang-format off
const Read kIdentityReads[6] = {
  {"COM_KESTRAVO_GetProductNo", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetProductNo(s, &r.product_no); }, false},
  {"COM_KESTRAVO_GetProductID", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetProductID(s, r.product_id); }, false},
  {"COM_KESTRAVO_GetFWVersion", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetFWVersion(s, &r.fw); }, false},
  {"COM_KESTRAVO_GetFWDate", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetFWDate(s, r.fw_date); }, false},
  {"COM_KESTRAVO_GetHWType", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetHWType(s, &r.hw_type); }, false},
  {"COM_KESTRAVO_GetHWVersion", [](uint16_t s, Readings& r) { return COM_KESTRAVO_GetHWVersion(s, &r.hw_version); }, false},
};
const Read kHealthReads[10] = {
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

std::string VersionText(uint16_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", v >> 8, v & 0xFF);
  return text;
}

std::string FirmwareVersionText(uint16_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%d-%02d", v >> 8, v & 0xFF);
  return text;
}

std::string DeviceText(const char* bytes, size_t size) {
  return Utf8FromCp1252(reinterpret_cast<const uint8_t*>(bytes), size);
}

}  // namespace model
