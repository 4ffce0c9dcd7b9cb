// The data log's record: what is read four times a second, its heading line and how each field
// is written. The console program writes it to a tab-separated file, field by field as each is
// read; the front panel keeps it as its trend and gives it as CSV.
#pragma once
#include <cstdint>
#include <string>

namespace model {

// A record every 250 ms, under a heading line of eleven tab-separated names.
constexpr uint32_t kDataLogRecordMs = 250;
extern const char kDataLogHeader[];

struct DataLogRecord {
  uint32_t uptime_s = 0;
  uint16_t uptime_ms = 0;
  double sensors[3] = {};  // degrees Celsius
  double volt_12v = 0, volt_5v0 = 0, volt_3v3 = 0, cpu_temp = 0;
  uint16_t fans[3] = {};  // measured rpm
};

// The fields as the file holds them: the uptime in seconds with hundredths, the sensors with two
// decimals, the supplies with three, the CPU temperature with two, the fans in whole rpm.
std::string UptimeField(uint32_t seconds, uint16_t milliseconds);
std::string SensorField(double celsius);
std::string SupplyField(double volts);
std::string CpuTemperatureField(double celsius);
std::string FanField(uint16_t rpm);

// A whole record with the given separator and a line end.
std::string DataLogLine(const DataLogRecord& r, char separator);

}  // namespace model
