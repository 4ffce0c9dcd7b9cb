#include "model/datalog.h"

#include "model/format.h"

namespace model {

const char kDataLogHeader[] = "Uptime\tSensor1\tSensor2\tSensor3\t12V\t5V0\t3V3\tCPU\tFan1\tFan2\tFan3\n";

std::string UptimeField(uint32_t s, uint16_t ms) { return Format("%d.%02d", int(s), ms / 10); }
std::string SensorField(double celsius) { return Format("%.2lf", celsius); }
std::string SupplyField(double volts) { return Format("%.3lf", volts); }
std::string CpuTemperatureField(double celsius) { return Format("%.2lf", celsius); }
std::string FanField(uint16_t rpm) { return Format("%u", unsigned(rpm)); }

std::string DataLogLine(const DataLogRecord& r, char separator) {
  std::string line = UptimeField(r.uptime_s, r.uptime_ms);
  for (double t : r.sensors) (line += separator) += SensorField(t);
  for (double v : {r.volt_12v, r.volt_5v0, r.volt_3v3}) (line += separator) += SupplyField(v);
  (line += separator) += CpuTemperatureField(r.cpu_temp);
  for (uint16_t rpm : r.fans) (line += separator) += FanField(rpm);
  return line + "\n";
}

}  // namespace model
