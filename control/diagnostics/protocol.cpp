// The test protocol: the device's identity, 41 seconds of readings on a one-second grid with their
// statistics, and its states, on the console and into a report file. The report's plus-minus and
// degree signs are the single bytes B1h and B0h (Windows-1252), as the report has always had them.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "control/diagnostics/diagnostics.h"
#include "model/device_texts.h"
#include "model/format.h"
#include "platform/clock.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

constexpr uint64_t kUptimeWaitLimitMs = 20000;  // PC time allowed for the device to reach 10 s
constexpr uint64_t kStopLookMs = 50;            // how often a wait looks whether it must end

// Text that goes to the console and into the report alike.
void Both(FILE* f, const std::string& text) {
  Print("%s", text.c_str());
  std::fputs(text.c_str(), f);
}

// One library call, tried a second time when the first fails; only a second failure is reported.
template <typename Call>
bool Retried(const char* debug_line, const char* name, Call call) {
  Progress("%s", debug_line);
  if (call() == 0 || call() == 0) return true;
  ReportError(name);
  return false;
}

bool Checked(int32_t result, const char* name) { return Succeeded(result, name); }

// The schedule of the readings: one a second from when it was set, without drift.
class Grid {
 public:
  void Start() { deadline_ = platform::TickMs(); }
  // Waits for the next reading; false when a signal asked the program to end.
  bool Next() {
    deadline_ += 1000;
    for (uint64_t now = platform::TickMs(); now < deadline_; now = platform::TickMs()) {
      if (StopRequested()) return false;
      platform::Sleep(uint32_t(std::min<uint64_t>(deadline_ - now, kStopLookMs)));
    }
    return !StopRequested();
  }

 private:
  uint64_t deadline_ = 0;
};

// The console lines of a section's readings, redrawn in place by each reading and finally replaced
// by its summary. They start `rows` lines above the cursor; a reading may wrap on a narrow terminal,
// so each is drawn whole from the first line down. When the output is no terminal every reading and
// the summary stand on lines of their own.
class ReadingLines {
 public:
  explicit ReadingLines(int rows)
      : terminal_(platform::OutputIsTerminal()), top_(platform::CursorRow() - rows) {}
  void Show(const std::string& text) {
    if (!terminal_) return Print("%s\n", text.c_str());
    Redraw(text);
    std::fflush(stdout);
  }
  void Summary(const std::string& text) {
    if (terminal_) return Redraw(text);
    Print("%s", text.c_str());
  }

 private:
  void Redraw(const std::string& text) {
    platform::MoveCursor(top_, 0);
    Print("\x1b[J%s", text.c_str());  // cleared down to the end of the screen, then drawn
  }
  bool terminal_;
  int top_;
};

std::string UptimeText(uint32_t s, uint16_t ms) {
  return model::Format("%d:%02d:%02d.%02d sec.\n", int(s / 3600), int(s % 3600 / 60), int(s % 60), ms / 10);
}

bool ReadUptime(uint32_t& s, uint16_t& ms) {
  uint32_t optime = 0;
  return Retried("Getting device uptime:\n", "COM_KESTRAVO_GetUptime",
                 [&] { return COM_KESTRAVO_GetUptime(State.PortNumber, &s, &ms, &optime); });
}

// The creation time and the device's identity.
bool Identity(FILE* f) {
  char when[30] = "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  platform::LocalTime(now, local);
  std::strftime(when, sizeof when, "%a, %m/%d/%Y, %H:%M:%S", &local);
  Print("Test protocol created at %s\n", when);
  std::fprintf(f, "Test protocol created at %s\n\n", when);

  const uint16_t port = State.PortNumber;
  uint32_t number = 0;
  if (!Retried("Getting the product number:\n", "COM_KESTRAVO_GetProductNo",
               [&] { return COM_KESTRAVO_GetProductNo(port, &number); }))
    return false;
  Both(f, model::Format("Product number: %d\n", int(number)));
  char id[COM_KESTRAVO_PRODUCT_ID_SIZE] = "";
  if (!Retried("Getting product identification:\n", "COM_KESTRAVO_GetProductID",
               [&] { return COM_KESTRAVO_GetProductID(port, id); }))
    return false;
  Both(f, model::Format("Product identification: %s\n", id));
  uint16_t fw = 0;
  if (!Retried("Getting firmware version:\n", "COM_KESTRAVO_GetFWVersion",
               [&] { return COM_KESTRAVO_GetFWVersion(port, &fw); }))
    return false;
  Both(f, model::Format("Firmware version: %d.%02d\n", fw >> 8, fw & 0xFF));
  char date[COM_KESTRAVO_FW_DATE_SIZE] = "";
  if (!Retried("Getting firmware date:\n", "COM_KESTRAVO_GetFWDate",
               [&] { return COM_KESTRAVO_GetFWDate(port, date); }))
    return false;
  Both(f, model::Format("Firmware date: %s\n", date));
  uint16_t type = 0, version = 0;
  if (!Retried("Getting hardware version:\n", "COM_KESTRAVO_GetHWType",
               [&] { return COM_KESTRAVO_GetHWType(port, &type); }) ||
      !Retried("Getting hardware version:\n", "COM_KESTRAVO_GetHWVersion",
               [&] { return COM_KESTRAVO_GetHWVersion(port, &version); }))
    return false;
  Both(f, model::Format("Hardware type: %04Xh, hardware version: %d.%02d\n", type, version >> 8,
                        version & 0xFF));
  return true;
}

// The device must have been up for 10 s: from the uptime s (ms) read first, reads until it is.
bool WaitForUptime(FILE* f, uint32_t s, uint16_t ms) {
  // The wait is bounded: an uptime that does not get there within 20 s of PC time, or that goes
  // backwards, ends the protocol.
  Print("Waiting for uptime of %ds...\n", 10);
  std::fprintf(f, "\nWaiting for uptime of %ds...\n", 10);
  Progress("Getting device uptime:\n");
  const bool terminal = platform::OutputIsTerminal();
  if (terminal) Print("Device uptime: ");
  const int row = platform::CursorRow(), column = platform::CursorColumn();
  const uint64_t give_up = platform::TickMs() + kUptimeWaitLimitMs;
  for (uint32_t last = s; s < 10;) {
    uint32_t optime = 0;
    if (COM_KESTRAVO_GetUptime(State.PortNumber, &s, &ms, &optime) != 0) {
      Print("\n");
      ReportError("COM_KESTRAVO_GetUptime");
      return false;
    }
    if (terminal) {
      platform::MoveCursor(row, column);
      Print("%d.%02d sec.", int(s), ms / 10);
      std::fflush(stdout);
    } else {
      Print("Device uptime: %d.%02d sec.\n", int(s), ms / 10);
    }
    if (s < last || platform::TickMs() > give_up) {
      Print("\n");
      if (s < last)
        Refused("The device's uptime went back from %u to %u s: it restarted\n", unsigned(last), unsigned(s));
      else
        Refused("The device's uptime did not reach 10 s within %u s\n", unsigned(kUptimeWaitLimitMs / 1000));
      return false;
    }
    if (StopRequested()) return false;
    last = s;
  }
  if (terminal) {
    platform::MoveCursor(row, 0);
    ClearLine();
  }
  Print("Device uptime: %s", UptimeText(s, ms).c_str());
  std::fprintf(f, "\nDevice uptime: %s", UptimeText(s, ms).c_str());
  return true;
}

bool Header(FILE* f) {
  if (!Identity(f)) return false;
  uint32_t s = 0;
  uint16_t ms = 0;
  if (!ReadUptime(s, ms)) return false;
  Print("Device uptime: %s", UptimeText(s, ms).c_str());
  std::fprintf(f, "\nDevice uptime: %s", UptimeText(s, ms).c_str());
  return s >= 10 || WaitForUptime(f, s, ms);
}

// "mean ± sigma (+above, -below)" of a record, each scaled, in the given number formats. The mean
// of equal samples can differ from them in the last bit; the distances to the extremes are never
// shown below 0 ("-0.00", "--0.00").
std::string Spread(const ReadingStats& r, const char* format, double scale_mean, double scale_spread) {
  const double mean = r.Mean();
  const double above = r.Max > mean ? r.Max - mean : 0.0, below = mean > r.Min ? mean - r.Min : 0.0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  char text[160];
  std::snprintf(text, sizeof text, format, mean * scale_mean, r.Sigma() * scale_spread, above * scale_spread,
                below * scale_spread);
#pragma GCC diagnostic pop
  return text;
}

bool CpuSection(FILE* f, Grid& grid) {
  Print(State.debug ? "Getting the CPU data:\n\n" : "\n");
  ReadingLines line(1);
  double load = 0, frequency = 0;
  if (COM_KESTRAVO_GetCPUData(State.PortNumber, &load, &frequency) != 0) {
    Print("\n");
    ReportError("COM_KESTRAVO_GetCPUData");
    return false;
  }
  ReadingStats loads, frequencies;
  grid.Start();
  for (int i = 0; i <= 10; ++i) {
    if (!Checked(COM_KESTRAVO_GetCPUData(State.PortNumber, &load, &frequency), "COM_KESTRAVO_GetCPUData"))
      return false;
    line.Show(model::Format("CPU data #%02d/%02d:    load: %.1f%%    frequency: %.2fMHz", i, 10, load * 100,
                            frequency * 0.000001));
    if (i > 0) {  // the first reading is shown only
      loads.Add(load);
      frequencies.Add(frequency);
    }
    if (!grid.Next()) return false;
  }
  line.Summary(model::Format("CPU data:\tCPU load: %.1f%%,\tCPU frequency: %.2fMHz\n", loads.Mean() * 100,
                             frequencies.Mean() * 0.000001));
  std::fprintf(f, "\nCPU data:\n\tCPU load: %s\n\tCPU frequency: %s\n",
               Spread(loads, "%.2f%% \xB1 %.2f%% (+%.2f%%, -%.2f%%)", 100, 100).c_str(),
               Spread(frequencies, "%.3fMHz \xB1 %.0fkHz (+%.0fkHz, -%.0fkHz)", 0.000001, 0.001).c_str());
  return true;
}

bool HousekeepingSection(FILE* f, Grid& grid) {
  Print(State.debug ? "Getting the device housekeeping:\n\n" : "\n");
  ReadingLines line(1);
  ReadingStats r[4];
  double v[4] = {};
  grid.Start();
  for (int i = 0; i < 10; ++i) {
    if (!Checked(COM_KESTRAVO_GetHousekeeping(State.PortNumber, &v[0], &v[1], &v[2], &v[3]),
                 "COM_KESTRAVO_GetHousekeeping"))
      return false;
    for (int k = 0; k < 4; ++k) r[k].Add(v[k]);
    line.Show(model::Format(
        "Device housekeeping #%02d/%02d:    12V: %.3lfV,    5V0: %.3lfV,    3V3: %.3lfV,    CPU: "
        "%.2lfdegC",
        i, 10, v[0], v[1], v[2], v[3]));
    if (!grid.Next()) return false;
  }
  line.Summary(
      model::Format("Device housekeeping:\t12V: %.3lfV,\t5V0: %.3lfV,\t3V3: %.3lfV,\tCPU: %.2lfdegC\n",
                    r[0].Mean(), r[1].Mean(), r[2].Mean(), r[3].Mean()));
  const char* volts = "%6.3lfV \xB1 %.2lfmV (+%.1lfmV, -%.1lfmV)";
  std::fprintf(f, "\nDevice housekeeping:\n\t12V: %s\n\t5V0: %s\n\t3V3: %s\n\tCPU: %s\n",
               Spread(r[0], volts, 1, 1000).c_str(), Spread(r[1], volts, 1, 1000).c_str(),
               Spread(r[2], volts, 1, 1000).c_str(),
               Spread(r[3],
                      "%5.2lf\xB0"
                      "C \xB1 %.2lf\xB0"
                      "C (+%.2lf\xB0"
                      "C, -%.2lf\xB0"
                      "C)",
                      1, 1)
                   .c_str());
  return true;
}

bool SensorSection(FILE* f, Grid& grid) {
  Print(State.debug ? "Getting the sensor data:\n\n" : "\n");
  ReadingLines line(1);
  ReadingStats r[3];
  double t[3] = {};
  for (int i = 0; i < 10; ++i) {
    if (!Checked(COM_KESTRAVO_GetSensorData(State.PortNumber, t), "COM_KESTRAVO_GetSensorData")) return false;
    std::string text = model::Format("Sensor data #%02d/%02d:", i, 10);
    for (int k = 0; k < 3; ++k) {
      r[k].Add(t[k]);
      text += model::Format("    #%d: ", k + 1) + model::Format("%5.2lfdegC", t[k]);
    }
    line.Show(text);
    if (!grid.Next()) return false;
  }
  std::string summary = "Sensor data:";
  for (int k = 0; k < 3; ++k) summary += model::Format("\t#%d: %5.2lfdegC", k + 1, r[k].Mean());
  line.Summary(summary + "\n");
  std::fputs("\nSensor data:\n", f);
  for (int k = 0; k < 3; ++k)
    std::fprintf(f, "\t#%d: %s\n", k + 1,
                 Spread(r[k],
                        "%.2lf\xB0"
                        "C \xB1 %.2lf\xB0"
                        "C (+%.2lf\xB0"
                        "C, -%.2lf\xB0"
                        "C)",
                        1, 1)
                     .c_str());
  return true;
}

const char* YesNo(int32_t b) { return b ? "Yes" : " No"; }

bool FanSection(FILE* f, Grid& grid) {
  Progress("Getting the fan data:\n");
  for (int k = 1; k <= 3; ++k) Print("    fan #%d:\r\n", k);
  ReadingLines lines(3);
  ReadingStats set[3], measured[3], pwm[3];
  int32_t enabled[3] = {}, failed[3] = {};
  uint16_t set_rpm[3] = {}, measured_rpm[3] = {}, duty[3] = {};
  for (int i = 0; i < 10; ++i) {
    if (!Checked(COM_KESTRAVO_GetFanData(State.PortNumber, enabled, failed, set_rpm, measured_rpm, duty),
                 "COM_KESTRAVO_GetFanData"))
      return false;
    std::string text = model::Format("Fan data #%02d/%02d:", i, 10);
    for (int k = 0; k < 3; ++k) {
      set[k].Add(set_rpm[k]);
      measured[k].Add(measured_rpm[k]);
      pwm[k].Add(duty[k] * 0.1);
      text +=
          "\r\n" + model::Format(
                       "    fan #%d:    enabled: %s,    failed: %s,    set: %5urpm,    measured: %5urpm,    "
                       "PWM: %5.1f%%",
                       k + 1, YesNo(enabled[k]), YesNo(failed[k]), unsigned(set_rpm[k]),
                       unsigned(measured_rpm[k]), duty[k] * 0.1);
    }
    lines.Show(text);
    if (!grid.Next()) return false;
  }
  std::string summary = "Fan data:\n";
  for (int k = 0; k < 3; ++k)
    summary +=
        model::Format("\tfan #%d:\tenabled: %s,\tfailed: %s,\tset: %urpm,\tmeasured: %urpm\n", k + 1,
                      YesNo(enabled[k]), YesNo(failed[k]), unsigned(set_rpm[k]), unsigned(measured_rpm[k]));
  lines.Summary(summary);
  std::fputs("\nFan data:\n", f);
  for (int k = 0; k < 3; ++k)
    std::fprintf(f, "\tfan #%d:\tenabled: %s,\tfailed: %s,\tset: %s,\tmeasured: %s,\tPWM: %s\n", k + 1,
                 YesNo(enabled[k]), YesNo(failed[k]),
                 Spread(set[k], "%.0lfrpm \xB1 %.0lfrpm (+%.0lfrpm, -%.0lfrpm)", 1, 1).c_str(),
                 Spread(measured[k], "%.0lfrpm \xB1 %.0lfrpm (+%.0lfrpm, -%.0lfrpm)", 1, 1).c_str(),
                 Spread(pwm[k], "%.2lf%% \xB1 %.2lf%% (+%.2lf%%, -%.2lf%%)", 1, 1).c_str());
  return true;
}

std::string DeviceStatusText(uint32_t w) {
  std::string s = model::Format("%08Xh = ", w);
  for (int bit = 31; bit >= 0; --bit) s += (w >> bit & 1) ? '1' : '0';
  s += "b\n";
  auto yes = [&](int bit) { return (w >> bit & 1) ? "Yes" : " No"; };
  s += model::Format("\tController disabled: %s\n", yes(15));
  s += model::Format("\tVoltages failed:\tCPU: %s,\tFan: %s\n", yes(0), yes(1));
  const char* groups[] = {"\tFans failed:", "\tSensors hot:", "\tSensors cold:"};
  const int first[] = {8, 16, 24};
  for (int g = 0; g < 3; ++g)
    s += model::Format("%s\t#1: %s,\t#2: %s,\t#3: %s\n", groups[g], yes(first[g]), yes(first[g] + 1),
                       yes(first[g] + 2));
  return s;
}

bool StateSections(FILE* f) {
  Progress("Getting main device status:\n");
  uint16_t main_state = 0;
  if (!Checked(COM_KESTRAVO_GetMainState(State.PortNumber, &main_state), "COM_KESTRAVO_GetMainState"))
    return false;
  Print("State:\t%s", model::MainStateLine(main_state, model::MainStateForm::kProtocol).c_str());
  std::fprintf(f, "\nState:\t%s", model::MainStateLine(main_state, model::MainStateForm::kProtocol).c_str());
  int32_t red = 0, green = 0, blue = 0;
  if (!Checked(COM_KESTRAVO_GetLEDData(State.PortNumber, &red, &green, &blue), "COM_KESTRAVO_GetLEDData"))
    return false;
  const std::string leds =
      model::Format("LED data:\tRed: %s,\tGreen: %s,\tBlue %s\n", YesNo(red), YesNo(green), YesNo(blue));
  Print("%s", leds.c_str());
  std::fprintf(f, "\n%s", leds.c_str());
  uint32_t word = 0;
  if (!Checked(COM_KESTRAVO_GetDeviceState(State.PortNumber, &word), "COM_KESTRAVO_GetDeviceState"))
    return false;
  Print("Device status: %s", DeviceStatusText(word).c_str());
  std::fprintf(f, "\nDevice status: %s", DeviceStatusText(word).c_str());
  return true;
}

bool Closing(FILE* f) {
  uint32_t s = 0;
  uint16_t ms = 0;
  if (!ReadUptime(s, ms)) return false;
  Print("Device uptime: %s", UptimeText(s, ms).c_str());
  std::fprintf(f, "\nDevice uptime: %s", UptimeText(s, ms).c_str());
  return true;
}

}  // namespace

void ReadingStats::Add(double x) {
  if (Count == 0) {
    Max = Min = x;
  } else {
    if (x < Min) Min = x;
    if (x > Max) Max = x;
  }
  ++Count;
  Sum += x;
  SumOfSquares += x * x;
}

double ReadingStats::Mean() const { return Count < 1 ? 0.0 : Sum / Count; }

double ReadingStats::Sigma() const {
  if (Count <= 1) return 0.0;
  const double mean = Mean(), variance = SumOfSquares / Count - mean * mean;
  return variance > 0 ? std::sqrt(variance) : 0.0;
}

void TestProtocol(const char* path) {
  Progress("Creating test protocol:\n");
  FILE* f = std::fopen(path, "w");
  if (!f) return FileFailure(path, SystemReason(), "Cannot open the data file %s\n", Printable(path).c_str());
  Grid grid;
  const bool ok = Header(f) && CpuSection(f, grid) && HousekeepingSection(f, grid) &&
                  SensorSection(f, grid) && FanSection(f, grid) && StateSections(f) && Closing(f);
  Print(ok ? "Test protocol finished\n" : "!!!Test protocol aborted due to failure!!!\n");
  std::fputs(ok ? "\nTest protocol finished\n" : "\n!!!Test protocol aborted due to failure!!!\n", f);
  if (std::fclose(f) != 0)
    FileFailure(path, SystemReason(), "Cannot close the data file %s\n", Printable(path).c_str());
}

int ProtocolSwitch(SwitchArgs& a) { return FileSwitch(a, TestProtocol); }

void ProtocolKey() {
  char name[kFileNameSize];
  if (PromptFileName("Enter the filename for the test protocol: ", name)) TestProtocol(name);
}

}  // namespace control
