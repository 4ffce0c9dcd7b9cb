// What a program reads of the device besides its settings, through the public interface: its
// identity and its health (states, housekeeping, sensors, fans, LEDs, CPU, times), one library
// call per row. The front panel shows them, the Tango server serves them as attributes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "COM-KESTRAVO.h"
#include "model/datalog.h"

namespace model {

// Everything the identity and health reads give.
struct Readings {
  uint32_t product_no = 0;
  char product_id[COM_KESTRAVO_PRODUCT_ID_SIZE] = "", fw_date[COM_KESTRAVO_FW_DATE_SIZE] = "";
  uint16_t fw = 0, hw_type = 0, hw_version = 0;
  uint16_t main_state = 0, controller = 0;
  uint32_t device_state = 0, operating = 0, total_up = 0, total_op = 0;
  double load = 0, frequency = 0;
  int32_t fan_enabled[3] = {}, fan_failed[3] = {}, red = 0, green = 0, blue = 0;
  uint16_t fan_set[3] = {}, fan_pwm[3] = {};  // rpm; tenths of a per cent
  DataLogRecord log;  // uptime, sensors, supplies, CPU temperature, measured fan speeds
};

// One library call into the readings; trend marks the reads of the data log's record.
struct Read {
  const char* call;
  int32_t (*read)(uint16_t slot, Readings& r);
  bool trend;
};
extern const Read kIdentityReads[6];
extern const Read kHealthReads[10];

// The reads of a table (only the trend's when trend_only), each inside hold(), which gives what
// guards the slot for that one call; false at the first that fails, with its name in failed.
template <size_t N, typename Hold>
bool ReadAll(uint16_t slot, const Read (&reads)[N], Readings& r, const char*& failed, Hold&& hold,
             bool trend_only = false) {
  for (const Read& read : reads) {
    if (trend_only && !read.trend) continue;
    [[maybe_unused]] const auto guard = hold();
    if (read.read(slot, r) != 0) return failed = read.call, false;
  }
  return true;
}

// A version word as "major.minor": 0x0102 is "1.02".
std::string VersionText(uint16_t v);
// The firmware's version word as the console program shows it: 0x0103 is "1-03".
std::string FirmwareVersionText(uint16_t v);
// A text of the device (Windows-1252 bytes up to the first NUL) in UTF-8.
std::string DeviceText(const char* bytes, size_t size);

}  // namespace model
