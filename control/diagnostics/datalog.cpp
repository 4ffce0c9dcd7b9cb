// The data log: uptime, temperatures, voltages and fan speeds four times a second into a
// tab-separated file until Esc, with a four-line panel of the latest values.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "control/diagnostics/diagnostics.h"
#include "model/datalog.h"
#include "platform/clock.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {

namespace {

constexpr uint32_t kRecordMs = model::kDataLogRecordMs;

// The panel's fields, in the order their values are written.
struct Panel {
  explicit Panel(DisplayFrame& frame) {
    if (frame.InPlace()) {
      Print("\r\n\r\n\r\n\r\n");  // four lines exist below the cursor
      platform::MoveCursor(platform::CursorRow() - 4, 0);
    }
    uptime = frame.Label("Uptime: ");
    frame.Label("%d:%02d:%02d sec.    ", 0, 0, 0);
    sensor[0] = frame.Label("\r\nSensor data:    #%d: ", 1);
    sensor[1] = frame.Label("%5.1lfdegC    #%d: ", 0.0, 2);
    sensor[2] = frame.Label("%5.1lfdegC    #%d: ", 0.0, 3);
    housekeeping[0] = frame.Label("\r\nDevice housekeeping:    12V: ");
    housekeeping[1] = frame.Label("%6.3lfV,   5V0: ", 0.0);
    housekeeping[2] = frame.Label("%5.3lfV,    3V3: ", 0.0);
    housekeeping[3] = frame.Label("%5.3lfV,    CPU: ", 0.0);
    frame.Label("\r\nFan rpm:");
    fan[0] = frame.Label("#%u: ", 1u);
    fan[1] = frame.Label("%4u    #%u: ", 0u, 2u);
    fan[2] = frame.Label("%4u    #%u: ", 0u, 3u);
  }
  int uptime, sensor[3], housekeeping[4], fan[3];
};

// One record into the file and onto the panel; the name of the failed operation, or null. What
// was read before a failure stays in the file, without its line end.
const char* Record(FILE* f, DisplayFrame& frame, const Panel& panel) {
  const uint16_t port = State.PortNumber;
  uint32_t s = 0, optime = 0;
  uint16_t ms = 0;
  if (COM_KESTRAVO_GetUptime(port, &s, &ms, &optime) != 0) return "COM_KESTRAVO_GetUptime";
  std::fputs(model::UptimeField(s, ms).c_str(), f);
  frame.Value(panel.uptime, "%d:%02d:%02d.%02d sec.", int(s / 3600), int(s % 3600 / 60), int(s % 60),
              ms / 10);
  double t[3] = {};
  if (COM_KESTRAVO_GetSensorData(port, t) != 0) return "COM_KESTRAVO_GetSensorData";
  for (int k = 0; k < 3; ++k) {
    frame.Value(panel.sensor[k], "%5.2lfdegC", t[k]);
    std::fprintf(f, "\t%s", model::SensorField(t[k]).c_str());
  }
  double v12 = 0, v5 = 0, v3 = 0, cpu = 0;
  if (COM_KESTRAVO_GetHousekeeping(port, &v12, &v5, &v3, &cpu) != 0) return "COM_KESTRAVO_GetHousekeeping";
  frame.Value(panel.housekeeping[0], "%6.3lfV", v12);
  frame.Value(panel.housekeeping[1], "%5.3lfV", v5);
  frame.Value(panel.housekeeping[2], "%5.3lfV", v3);
  frame.Value(panel.housekeeping[3], "%5.2lfdegC", cpu);
  for (double v : {v12, v5, v3}) std::fprintf(f, "\t%s", model::SupplyField(v).c_str());
  std::fprintf(f, "\t%s", model::CpuTemperatureField(cpu).c_str());
  int32_t enabled[3] = {}, failed[3] = {};
  uint16_t set[3] = {}, measured[3] = {}, pwm[3] = {};
  if (COM_KESTRAVO_GetFanData(port, enabled, failed, set, measured, pwm) != 0)
    return "COM_KESTRAVO_GetFanData";
  for (int k = 0; k < 3; ++k) {
    frame.Value(panel.fan[k], "%5u", unsigned(measured[k]));
    std::fprintf(f, "\t%s", model::FanField(measured[k]).c_str());
  }
  std::fputs("\n", f);
  frame.Record("data_log",
               model::JsonObject()
                   .Number("uptime_s", s + ms / 1000.0)
                   .Array("degc", model::JsonArray().Number(t[0]).Number(t[1]).Number(t[2]))
                   .Number("volts_12v", v12)
                   .Number("volts_5v0", v5)
                   .Number("volts_3v3", v3)
                   .Number("cpu_degc", cpu)
                   .Array("fans_rpm",
                          model::JsonArray().Integer(measured[0]).Integer(measured[1]).Integer(measured[2])));
  return nullptr;
}

}  // namespace

void DataLog(const char* path) {
  Progress("Creating log data:\n");
  FILE* f = std::fopen(path, "w");
  if (!f) return FileFailure(path, SystemReason(), "Cannot open the data file %s\n", Printable(path).c_str());
  Progress("Getting the sensor data:\n");
  if (!State.quiet) Print("Press 'Esc' to quit\n");
  DisplayFrame frame(false);
  const Panel panel(frame);
  std::fputs(model::kDataLogHeader, f);
  bool ok = true;
  for (;;) {
    frame.BeginPass();
    if (const char* failed = Record(f, frame, panel)) {
      frame.Failed(failed);
      ok = false;
      break;
    }
    frame.EndPass();
    // Each record reaches the file before the next is read: a full disk ends the log as Esc would,
    // with what was written kept.
    if (std::fflush(f) != 0 || std::ferror(f)) {
      const int error = errno;
      frame.Leave();
      FileFailure(path, std::strerror(error), "Error writing the data file '%s': %s\n",
                  Printable(path).c_str(), std::strerror(error));
      break;
    }
    // A fixed grid from the start: a slow record shortens the next wait.
    if (!frame.NextPass(kRecordMs)) {
      frame.Leave();
      break;
    }
  }
  if (ok) Print("Data logging finished\n");
  if (std::fclose(f) != 0)
    FileFailure(path, SystemReason(), "Cannot close the data file %s\n", Printable(path).c_str());
}

int DataLogSwitch(SwitchArgs& a) { return FileSwitch(a, DataLog); }

void DataLogKey() {
  char name[kFileNameSize];
  if (PromptFileName("Enter the filename for the log data: ", name)) DataLog(name);
}

}  // namespace control
