#include "control/monitor/displays.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/state.h"
#include "model/cp1252.h"
#include "model/device_texts.h"
#include "model/format.h"
#include "model/readings.h"
#include "platform/clock.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

const char* YesNo(bool b) { return b ? "Yes" : " No"; }

// The device state bits shown by name, in the order of the display.
struct StateGroup {
  const char* once_label;
  const char* item_once[3];
  int bits[3];
  int count;
};
const StateGroup kStateGroups[] = {
    {"\tVoltages failed:", {"\tCPU: %s,", "\tFan: %s\n"}, {0, 1}, 2},
    {"\tFans failed:", {"\t#1: %s,", "\t#2: %s,", "\t#3: %s\n"}, {8, 9, 10}, 3},
    {"\tSensors hot:", {"\t#1: %s,", "\t#2: %s,", "\t#3: %s\n"}, {16, 17, 18}, 3},
    {"\tSensors cold:", {"\t#1: %s,", "\t#2: %s,", "\t#3: %s\n"}, {24, 25, 26}, 3},
};

std::string Binary(uint32_t word) {
  std::string s;
  for (int bit = 31; bit >= 0; --bit) s += (word >> bit & 1) ? '1' : '0';
  return s;
}

// A continuous display: labels once, then passes until Esc, --count passes or a failed read.
// pass() reads and redraws and returns the name of the failed operation, or nullptr.
template <typename Pass>
void RunContinuous(DisplayFrame& frame, Pass pass) {
  for (;;) {
    frame.BeginPass();
    if (const char* failed = pass()) {
      frame.Failed(failed);
      return;
    }
    frame.EndPass();
    if (!frame.NextPass(0)) return frame.Leave();
  }
}

// A text of the device (Windows-1252, ended by NUL or its field's size) as UTF-8.
std::string DeviceText(const char* bytes, size_t size) {
  return model::Utf8FromCp1252(reinterpret_cast<const uint8_t*>(bytes), strnlen(bytes, size));
}

// Seconds and milliseconds as seconds.
double Seconds(uint32_t s, uint16_t ms) { return s + ms / 1000.0; }

model::JsonObject YesNoJson(const char* const (&names)[3], const int32_t (&values)[3]) {
  model::JsonObject o;
  for (int i = 0; i < 3; ++i) o.Bool(names[i], values[i] != 0);
  return o;
}

}  // namespace

void ShowBufferState() {
  Progress("Getting the buffer status of the device...\n");
  int32_t empty = 0;
  if (!Succeeded(COM_KESTRAVO_GetBufferState(State.PortNumber, &empty), "COM_KESTRAVO_GetBufferState"))
    return;
  JsonRecord("buffer", model::JsonObject().Bool("empty", empty != 0));
  if (State.debug)
    Print("Buffer of the device is %sempty\n", empty ? "" : "not ");
  else if (!State.quiet)
    Print("Buffer is %sempty\n", empty ? "" : "not ");
}

void PurgeCommunication() {
  if (State.debug)
    Print("Purging buffers of %s attached to the communication port %hu...\n", PortLabel().c_str(),
          State.PortNumber);
  if (COM_KESTRAVO_Purge(State.PortNumber) != 0)
    return Refused("%s\n", COM_KESTRAVO_GetErrorMessage(State.PortNumber));
  int32_t purged = 0;
  if (!Succeeded(COM_KESTRAVO_DevicePurge(State.PortNumber, &purged), "COM_KESTRAVO_DevicePurge")) return;
  if (!purged) Refused("Buffer of the communication port could not be purged\n");
  if (State.debug)
    Print("Buffers of %s attached to the communication port %hu were %spurged\n", PortLabel().c_str(),
          State.PortNumber, purged ? "" : "not ");
  else if (!State.quiet)
    Print("Port %spurged\n", purged ? "" : "not ");
}

void RestartDevice() {
  Print("Restarting the controller, please wait...\n");
  std::fflush(stdout);
  if (!Succeeded(COM_KESTRAVO_Restart(State.PortNumber), "COM_KESTRAVO_Restart")) return;
  Print("Controller restarted\n");
}

void ShowCPUData(bool continuous) {
  Progress("Getting the CPU data:\n");
  double load = 0, freq = 0;
  auto json = [&] {
    return model::JsonObject().Number("load_percent", load * 100).Number("frequency_hz", freq);
  };
  if (!continuous) {
    if (!Succeeded(COM_KESTRAVO_GetCPUData(State.PortNumber, &load, &freq), "COM_KESTRAVO_GetCPUData"))
      return;
    if (State.json) return JsonRecord("cpu", json());
    Print("CPU load: %.1lf%%\tCPU frequency: %.2lfMHz\n", load * 100, freq * 0.000001);
    return;
  }
  DisplayFrame frame;
  int f_load = frame.Label("CPU load: ");
  int f_freq = frame.Label("%4.1lf%%,    CPU frequency: ", 0.0);
  auto show = [&] {
    frame.Value(f_load, "%4.1lf%%", load * 100);
    frame.Value(f_freq, "%5.2lfMHz", freq * 0.000001);
    frame.Record("cpu", json());
    frame.EndPass();
  };
  if (COM_KESTRAVO_GetCPUData(State.PortNumber, &load, &freq) != 0)
    return frame.Failed("COM_KESTRAVO_GetCPUData");
  // A terminal shows the frame with the values of the second reading, a second later; a line of
  // its own needs values, so without a terminal the first reading is the first pass.
  if (!frame.InPlace()) {
    frame.BeginPass();
    show();
  }
  // One pass a second, on a fixed schedule.
  while (frame.NextPass(1000)) {
    frame.BeginPass();
    if (COM_KESTRAVO_GetCPUData(State.PortNumber, &load, &freq) != 0)
      return frame.Failed("COM_KESTRAVO_GetCPUdata", false);
    show();
  }
  frame.Leave();
}

void ShowUptime(bool continuous) {
  Progress("Getting the device uptime:\n");
  std::string up, total, op, total_op;
  model::JsonObject json;
  auto read = [&]() -> const char* {
    uint32_t seconds = 0, optime = 0, total_s = 0, total_op_s = 0;
    uint16_t ms = 0;
    if (COM_KESTRAVO_GetUptime(State.PortNumber, &seconds, &ms, &optime) != 0)
      return "COM_KESTRAVO_GetUptime";
    if (COM_KESTRAVO_GetTotalTime(State.PortNumber, &total_s, &total_op_s) != 0)
      return "COM_KESTRAVO_GetTotalTime";
    up = FormatSecondsFraction(seconds, ms);
    total = FormatSeconds(total_s);
    op = FormatSeconds(optime);
    total_op = FormatSeconds(total_op_s);
    json = model::JsonObject()
               .Number("uptime_s", Seconds(seconds, ms))
               .Integer("total_s", total_s)
               .Integer("operation_s", optime)
               .Integer("total_operation_s", total_op_s);
    return nullptr;
  };
  if (!continuous) {
    if (const char* failed = read()) return ReportError(failed);
    if (State.json) return JsonRecord("uptime", json);
    Print("Device uptime: %s, ", up.c_str());
    Print("  total: %s, ", total.c_str());
    Print("Operation time: %s, ", op.c_str());
    Print("  total: %s\n", total_op.c_str());
    return;
  }
  DisplayFrame frame;
  int field = frame.Label("Device uptime: ");
  RunContinuous(frame, [&]() -> const char* {
    if (const char* failed = read()) return failed;
    frame.Value(field, "%s, total: %s, Operation time: %s, total: %s", up.c_str(), total.c_str(), op.c_str(),
                total_op.c_str());
    frame.Record("uptime", json);
    return nullptr;
  });
}

void ShowHWVersion() {
  uint16_t type = 0, version = 0;
  Progress("Getting hardware version:\n");
  if (!Succeeded(COM_KESTRAVO_GetHWType(State.PortNumber, &type), "COM_KESTRAVO_GetHWType")) return;
  Progress("Getting hardware version:\n");
  if (!Succeeded(COM_KESTRAVO_GetHWVersion(State.PortNumber, &version), "COM_KESTRAVO_GetHWVersion")) return;
  if (State.json)
    return JsonRecord("hardware",
                      model::JsonObject()
                          .Integer("hw_type", type)
                          .Text("hw_version", model::Format("%d.%02d", version >> 8, version & 0xFF)));
  Print("Hardware type: %04Xh, hardware version: %d.%02d\n", type, version >> 8, version & 0xFF);
}

void ShowFWDate() {
  Progress("Getting the firmware date:\n");
  char date[16] = {};
  if (!Succeeded(COM_KESTRAVO_GetFWDate(State.PortNumber, date), "COM_KESTRAVO_GetFWDate")) return;
  if (State.json)
    return JsonRecord("firmware_date", model::JsonObject().Text("fw_date", DeviceText(date, sizeof date)));
  Print("Firmware date: %s\n", date);
}

void ShowFWVersion() {
  Progress("Getting the firmware version:\n");
  uint16_t version = 0;
  if (!Succeeded(COM_KESTRAVO_GetFWVersion(State.PortNumber, &version), "COM_KESTRAVO_GetFWVersion")) return;
  if (State.json)
    return JsonRecord("firmware_version",
                      model::JsonObject().Text("fw_version", model::FirmwareVersionText(version)));
  Print("Firmware version: %s\n", model::FirmwareVersionText(version).c_str());
}

void ShowProductID() {
  Progress("Getting the product identification:\n");
  char id[COM_KESTRAVO_PRODUCT_ID_SIZE] = {};
  if (!Succeeded(COM_KESTRAVO_GetProductID(State.PortNumber, id), "COM_KESTRAVO_GetProductID")) return;
  if (State.json)
    return JsonRecord("product_id", model::JsonObject().Text("product_id", DeviceText(id, sizeof id)));
  Print("Product identification: %s\n", id);
}

void ShowProductNo() {
  Progress("Getting the product number:\n");
  uint32_t number = 0;
  if (!Succeeded(COM_KESTRAVO_GetProductNo(State.PortNumber, &number), "COM_KESTRAVO_GetProductNo")) return;
  if (State.json) return JsonRecord("product_no", model::JsonObject().Integer("product_no", int(number)));
  Print("Product number: %d\n", int(number));
}

void ShowMainState(bool continuous) {
  Progress("Getting main device status:\n");
  uint16_t state = 0;
  auto json = [&] {
    std::string text = model::MainStateLine(state, model::MainStateForm::kOnce);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return model::JsonObject().Integer("value", state).Text("text", text);
  };
  if (!continuous) {
    if (!Succeeded(COM_KESTRAVO_GetMainState(State.PortNumber, &state), "COM_KESTRAVO_GetMainState")) return;
    if (State.json) return JsonRecord("main_state", json());
    Print("State:\t%s", model::MainStateLine(state, model::MainStateForm::kOnce).c_str());
    return;
  }
  DisplayFrame frame;
  int field = frame.Label("State:    ");
  RunContinuous(frame, [&]() -> const char* {
    if (COM_KESTRAVO_GetMainState(State.PortNumber, &state) != 0) return "COM_KESTRAVO_GetMainState";
    frame.Value(field, "%s", model::MainStateLine(state, model::MainStateForm::kContinuous).c_str());
    frame.Record("main_state", json());
    return nullptr;
  });
}

void ShowDeviceState(bool continuous) {
  Progress("Getting the device status:\n");
  uint32_t word = 0;
  if (!continuous) {
    if (!Succeeded(COM_KESTRAVO_GetDeviceState(State.PortNumber, &word), "COM_KESTRAVO_GetDeviceState"))
      return;
    if (State.json) return JsonRecord("device_state", WordJson(word, model::kDeviceStateBits));
    Print("Device status: %08Xh = %sb\n", word, Binary(word).c_str());
    Print("\tController disabled: %s\n", YesNo(word >> 15 & 1));
    for (const StateGroup& g : kStateGroups) {
      Print("%s", g.once_label);
      for (int i = 0; i < g.count; ++i) Print(g.item_once[i], YesNo(word >> g.bits[i] & 1));
    }
    return;
  }
  DisplayFrame frame;
  int f_word = frame.Label("Device status: ");
  int f_disabled = frame.Label("%08Xh\r\n    Controller disabled: ", 0u);
  int f_cpu = frame.Label("\r\n    Voltages failed:    CPU: ");
  int f_fan = frame.Label("%s,    Fan: ", YesNo(false));
  int fields[3][3];
  const char* heads[3] = {
      "\r\n    Fans failed:    #1: ", "\r\n    Sensors hot:    #1: ", "\r\n    Sensors cold:   #1: "};
  for (int g = 0; g < 3; ++g) {
    fields[g][0] = frame.Label("%s", heads[g]);
    fields[g][1] = frame.Label("%s,    #2: ", YesNo(false));
    fields[g][2] = frame.Label("%s,    #3: ", YesNo(false));
  }
  RunContinuous(frame, [&]() -> const char* {
    if (COM_KESTRAVO_GetDeviceState(State.PortNumber, &word) != 0) return "COM_KESTRAVO_GetDeviceState";
    frame.Value(f_word, "%08Xh = %sb", word, Binary(word).c_str());
    frame.Value(f_disabled, "%s", YesNo(word >> 15 & 1));
    frame.Value(f_cpu, "%s", YesNo(word & 1));
    frame.Value(f_fan, "%s", YesNo(word >> 1 & 1));
    for (int g = 0; g < 3; ++g)
      for (int i = 0; i < 3; ++i)
        frame.Value(fields[g][i], "%s", YesNo(word >> kStateGroups[g + 1].bits[i] & 1));
    frame.Record("device_state", WordJson(word, model::kDeviceStateBits));
    return nullptr;
  });
}

void ShowHousekeeping(bool continuous) {
  Progress("Getting the device housekeeping:\n");
  double v12 = 0, v5 = 0, v3 = 0, cpu = 0;
  auto json = [&] {
    return model::JsonObject()
        .Number("volts_12v", v12)
        .Number("volts_5v0", v5)
        .Number("volts_3v3", v3)
        .Number("cpu_degc", cpu);
  };
  if (!continuous) {
    if (!Succeeded(COM_KESTRAVO_GetHousekeeping(State.PortNumber, &v12, &v5, &v3, &cpu),
                   "COM_KESTRAVO_GetHousekeeping"))
      return;
    if (State.json) return JsonRecord("housekeeping", json());
    Print("Device housekeeping:\t12V: %.3lfV,\t5V0: %.3lfV,\t3V3: %.3lfV,\tCPU: %.2lfdegC\n", v12, v5, v3,
          cpu);
    return;
  }
  DisplayFrame frame;
  int f[4];
  f[0] = frame.Label("Device housekeeping:    12V: ");
  f[1] = frame.Label("%6.3lfV,   5V0: ", 0.0);
  f[2] = frame.Label("%5.3lfV,    3V3: ", 0.0);
  f[3] = frame.Label("%5.3lfV,    CPU: ", 0.0);
  RunContinuous(frame, [&]() -> const char* {
    if (COM_KESTRAVO_GetHousekeeping(State.PortNumber, &v12, &v5, &v3, &cpu) != 0)
      return "COM_KESTRAVO_GetHousekeeping";
    frame.Value(f[0], "%6.3lfV", v12);
    frame.Value(f[1], "%5.3lfV", v5);
    frame.Value(f[2], "%5.3lfV", v3);
    frame.Value(f[3], "%5.2lfdegC", cpu);
    frame.Record("housekeeping", json());
    return nullptr;
  });
}

void ShowSensorData(bool continuous) {
  Progress("Getting the sensor data:\n");
  double t[3] = {};
  auto json = [&] {
    return model::JsonObject().Array("degc", model::JsonArray().Number(t[0]).Number(t[1]).Number(t[2]));
  };
  if (!continuous) {
    if (!Succeeded(COM_KESTRAVO_GetSensorData(State.PortNumber, t), "COM_KESTRAVO_GetSensorData")) return;
    if (State.json) return JsonRecord("sensors", json());
    Print("Sensor data:");
    for (int i = 0; i < 3; ++i) {
      Print("\t#%d: ", i + 1);
      Print("%5.2lfdegC", t[i]);
    }
    Print("\n");
    return;
  }
  DisplayFrame frame;
  int f[3];
  f[0] = frame.Label("Sensor data:    #%d: ", 1);
  f[1] = frame.Label("%5.2lfdegC    #%d: ", 0.0, 2);
  f[2] = frame.Label("%5.2lfdegC    #%d: ", 0.0, 3);
  RunContinuous(frame, [&]() -> const char* {
    if (COM_KESTRAVO_GetSensorData(State.PortNumber, t) != 0) return "COM_KESTRAVO_GetSensorData";
    for (int i = 0; i < 3; ++i) frame.Value(f[i], "%5.2lfdegC", t[i]);
    frame.Record("sensors", json());
    return nullptr;
  });
}

void ShowFanData(bool continuous) {
  Progress("Getting the fan data:\n");
  int32_t enabled[3] = {}, failed[3] = {};
  uint16_t set[3] = {}, measured[3] = {}, pwm[3] = {};
  auto read = [&]() {
    return COM_KESTRAVO_GetFanData(State.PortNumber, enabled, failed, set, measured, pwm) == 0;
  };
  auto json = [&] {
    model::JsonArray fans;
    for (int i = 0; i < 3; ++i)
      fans.Object(model::JsonObject()
                      .Integer("fan", i + 1)
                      .Bool("enabled", enabled[i] != 0)
                      .Bool("failed", failed[i] != 0)
                      .Integer("set_rpm", set[i])
                      .Integer("measured_rpm", measured[i])
                      .Number("pwm_percent", pwm[i] / 10.0));
    return model::JsonObject().Array("fans", fans);
  };
  if (!continuous) {
    if (!read()) return ReportError("COM_KESTRAVO_GetFanData");
    if (State.json) return JsonRecord("fans", json());
    Print("Fan data:\n");
    for (int i = 0; i < 3; ++i)
      Print("\tfan #%d:\tenabled: %s,\tfailed: %s,\tset: %4urpm,\tmeasured: %4urpm,\tPWM: %6.2f%%\n", i + 1,
            YesNo(enabled[i]), YesNo(failed[i]), unsigned(set[i]), unsigned(measured[i]), pwm[i] / 10.0);
    return;
  }
  DisplayFrame frame;
  frame.Label("Fan data:");
  int f[3][5];
  for (int i = 0; i < 3; ++i) {
    f[i][0] = frame.Label("\r\n    fan #%d:    enabled: ", i + 1);
    f[i][1] = frame.Label("%s    failed: ", YesNo(false));
    f[i][2] = frame.Label("%s    set: ", YesNo(false));
    f[i][3] = frame.Label("%5urpm    measured: ", 0u);
    f[i][4] = frame.Label("%5urpm    PWM: ", 0u);
  }
  RunContinuous(frame, [&]() -> const char* {
    if (!read()) return "COM_KESTRAVO_GetFanData";
    for (int i = 0; i < 3; ++i) {
      frame.Value(f[i][0], "%s", YesNo(enabled[i]));
      frame.Value(f[i][1], "%s", YesNo(failed[i]));
      frame.Value(f[i][2], "%5urpm", unsigned(set[i]));
      frame.Value(f[i][3], "%5urpm", unsigned(measured[i]));
      frame.Value(f[i][4], "%6.2f%%", pwm[i] / 10.0);
    }
    frame.Record("fans", json());
    return nullptr;
  });
}

void ShowLEDData(bool continuous) {
  Progress("Getting LED data:\n");
  int32_t red = 0, green = 0, blue = 0;
  static const char* const kNames[3] = {"red", "green", "blue"};
  auto json = [&] { return YesNoJson(kNames, {red, green, blue}); };
  if (!continuous) {
    if (!Succeeded(COM_KESTRAVO_GetLEDData(State.PortNumber, &red, &green, &blue), "COM_KESTRAVO_GetLEDData"))
      return;
    if (State.json) return JsonRecord("leds", json());
    Print("LED data:\tRed: %s,\tGreen: %s,\tBlue: %s\n", YesNo(red), YesNo(green), YesNo(blue));
    return;
  }
  DisplayFrame frame;
  int f[3];
  f[0] = frame.Label("LED data:    Red: ");
  f[1] = frame.Label("   ,    Green: ");
  f[2] = frame.Label("   ,    Blue: ");
  RunContinuous(frame, [&]() -> const char* {
    if (COM_KESTRAVO_GetLEDData(State.PortNumber, &red, &green, &blue) != 0) return "COM_KESTRAVO_GetLEDData";
    frame.Value(f[0], "%s", YesNo(red));
    frame.Value(f[1], "%s", YesNo(green));
    frame.Value(f[2], "%s", YesNo(blue));
    frame.Record("leds", json());
    return nullptr;
  });
}

}  // namespace control
