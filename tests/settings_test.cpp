// The settings of the console program: formats at their boundaries, each routine against the
// simulated device (checked through the library), the switch grammar, and the keys and menus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "COM-KESTRAVO.h"
#include "control/command.h"
#include "control/keyloop.h"
#include "control/settings/settings.h"
#include "model/device_texts.h"
#include "model/format.h"
#include "platform/terminal.h"
#include "tests/support/console_fixture.h"

namespace {

using control::SettingId;
using control::SettingLine;

struct LineCase {
  SettingId id;
  bool set;
  uint32_t index, value;
  const char* line;
};

TEST(SettingFormats, ConversionsAtTheirBoundaries) {
  const LineCase cases[] = {
      {SettingId::kOscillatorPeriod, false, 0, 0, "Oscillator period: 0 (2.000000E-08s, 5.000000E+07Hz)\n"},
      {SettingId::kOscillatorPeriod, false, 0, 1, "Oscillator period: 1 (3.000000E-08s, 3.333333E+07Hz)\n"},
      {SettingId::kOscillatorPeriod, true, 0, 98,
       "Oscillator period set to 98 (1.000000E-06s, 1.000000E+06Hz)\n"},
      // The largest values neither wrap to a period of 0 s nor print as negative numbers.
      {SettingId::kOscillatorPeriod, false, 0, 4294967294u,
       "Oscillator period: 4294967294 (4.294967E+01s, 2.328306E-02Hz)\n"},
      {SettingId::kOscillatorPeriod, false, 0, 4294967295u,
       "Oscillator period: 4294967295 (4.294967E+01s, 2.328306E-02Hz)\n"},
      {SettingId::kPulserDelay, false, 0, 0, "Pulse delay of pulser #0: 0 (3.000000E-08s)\n"},
      {SettingId::kPulserDelay, true, 3, 255, "Pulse delay of pulser #3 set to 255 (2.580000E-06s)\n"},
      {SettingId::kPulserDelay, false, 1, 4294967295u,
       "Pulse delay of pulser #1: 4294967295 (4.294967E+01s)\n"},
      {SettingId::kPulserWidth, false, 0, 0, "Pulse width of pulser #0: 0 (2.000000E-08s)\n"},
      {SettingId::kPulserWidth, true, 2, 16777215,
       "Pulse width of pulser #2 set to 16777215 (1.677722E-01s)\n"},
      {SettingId::kPulserBurst, false, 1, 16777215, "Burst size of pulser #1: 16777215\n"},
      {SettingId::kPulserBurst, true, 0, 0, "Burst size of pulser #0 set to 0\n"},
      {SettingId::kPulserConfig, false, 0, 0x23,
       "Configuration of pulser #0: 35=23h (negated digital input 1)\n"},
      {SettingId::kPulserConfig, true, 5, 0x14, "Configuration of pulser #5 set to 20=14h (undefined)\n"},
      {SettingId::kPulserConfig, false, 4, 255, "Configuration of pulser #4: 255=FFh (negated undefined)\n"},
      {SettingId::kSwitchTriggerConfig, true, 1, 33,
       "Configuration of switch #1 trigger set to 33=21h (negated software trigger)\n"},
      {SettingId::kSwitchEnableConfig, false, 3, 1,
       "Configuration of switch #3 enable: 1=01h (software trigger)\n"},
      // The read rounds to whole nanoseconds, the write shows one decimal.
      {SettingId::kSwitchEnableDelay, false, 0, 7, "Delay of switch #0 enable: 7 (4ns)\n"},
      {SettingId::kSwitchEnableDelay, true, 0, 7, "Delay of switch #0 enable set to 7 (3.5ns)\n"},
      {SettingId::kSwitchEnableDelay, false, 2, 15, "Delay of switch #2 enable: 15 (8ns)\n"},
      {SettingId::kSwitchTriggerMapping, false, 4, 15, "Mapping #4 of switch trigger: 15=0Fh\n"},
      {SettingId::kSwitchEnableMapping, true, 0, 0, "Mapping #0 of switch enable set to 0=00h\n"},
      {SettingId::kTriggerMappingEnable, false, 0, 1, "Switch trigger mapping: enabled\n"},
      {SettingId::kEnableMappingEnable, true, 0, 0, "Switch enable mapping set to disabled\n"},
      {SettingId::kDIOOutput, true, 6, 1, "Output DIO6 configuration set to 1=01h (software trigger)\n"},
      {SettingId::kDeviceEnable, false, 0, 1, "Enable state of the device: on\n"},
      {SettingId::kDeviceEnable, true, 0, 0, "Enable state of the device set to: off\n"},
  };
  for (const LineCase& c : cases) EXPECT_EQ(SettingLine(c.id, c.set, c.index, c.value), c.line) << c.line;
  EXPECT_EQ(SettingLine(SettingId::kSwitchRiseDelay, false, 1, 7),
            "Rise delay of switch #1 trigger: 7 (3.5ns)\n");
  EXPECT_EQ(SettingLine(SettingId::kSwitchFallDelay, true, 3, 15),
            "Fall delay of switch #3 trigger set to 15 (7.5ns)\n");
}

TEST(SettingFormats, SourceNamesForEveryByte) {
  const char* names[] = {"logic 0",         "software trigger", "oscillator 0",    "digital input 1",
                         "digital input 2", "digital input 3",  "digital input 4", "digital input 5",
                         "digital input 6", "digital input 7",  "pulser 1 output", "pulser 2 output",
                         "pulser 3 output", "pulser 4 output",  "pulser 1 run",    "pulser 2 run",
                         "pulser 3 run",    "pulser 4 run",     "timebase 2 MHz",  "timebase 4 MHz"};
  for (unsigned byte = 0; byte < 256; ++byte) {
    const unsigned index = byte & 0x1F;
    std::string name = index < 20 ? names[index] : "undefined";
    EXPECT_EQ(model::SourceConfigText(byte), ((byte & 0x20) ? "negated " : "") + name) << byte;
  }
  EXPECT_STREQ(model::SourceName(31), "undefined");
  EXPECT_STREQ(model::SourceName(1000), "undefined");
}

TEST(SettingFormats, ControllerTexts) {
  EXPECT_EQ(control::ControllerStateText(0x0507),
            "Controller state: 0507h\n"
            "\tdevice enable:          Y\toscillator enable: Y\tpulser enable:    Y\n"
            "\tprevent device disable: N\tdevice enabled:    Y\tmaster enable:    Y\n"
            "\tsoftware trigger:       0\tsoftware pulse:    0\tsoft trigger out: 0\n"
            "\tdithering disable:      N\n");
  EXPECT_EQ(control::ControllerStateText(0x067A),
            "Controller state: 067Ah\n"
            "\tdevice enable:          N\toscillator enable: Y\tpulser enable:    N\n"
            "\tprevent device disable: Y\tdevice enabled:    Y\tmaster enable:    N\n"
            "\tsoftware trigger:       1\tsoftware pulse:    1\tsoft trigger out: 1\n"
            "\tdithering disable:      Y\n");
  EXPECT_EQ(control::ControllerConfigText(0x1F),
            "Controller configuration set to 001Fh\n"
            "  device enable:          Y\t  oscillator enable: Y\t  pulser enable: Y\n"
            "  prevent device disable: N\t  dithering disable: N\n"
            "  software trigger:       1\t  software pulse:    1\n");
  EXPECT_EQ(control::SoftwareTriggerText(0x0007, 0x001F, 0x000F),
            "Controller configuration set to 0007h->001Fh->000Fh\n"
            "  software trigger: 0->1->1\n"
            "  software pulse:   0->1->0\n");
  EXPECT_EQ(control::DataRateText(115200, 115000),
            "Data rate set to 115200 baud (device), 115000 baud (PC)\n");
  EXPECT_STREQ(model::DIODirection(0x04, 0x04, 2), "output");
  EXPECT_STREQ(model::DIODirection(0x00, 0x04, 2), "terminated input");
  EXPECT_STREQ(model::DIODirection(0x7B, 0x7B, 2), "input");
}

class SettingsTest : public testing_support::ConsoleTest {
 protected:
  uint16_t Controller() {
    uint16_t s = 0;
    EXPECT_EQ(COM_KESTRAVO_GetControllerState(0, &s), 0);
    return s;
  }
};

TEST_F(SettingsTest, EachRoutineChangesTheDeviceAndSaysSo) {
  control::ChangeSetting(SettingId::kPulserDelay, 2, 1000);
  EXPECT_EQ(Out(), "Pulse delay of pulser #2 set to 1000 (1.003000E-05s)\n");
  uint32_t v = 0;
  EXPECT_EQ(COM_KESTRAVO_GetPulserDelay(0, 2, &v), 0);
  EXPECT_EQ(v, 1000u);
  control::ShowSetting(SettingId::kPulserDelay, 2);
  EXPECT_EQ(Out(), "Pulse delay of pulser #2: 1000 (1.003000E-05s)\n");

  control::State.debug = true;
  control::ChangeSetting(SettingId::kOscillatorPeriod, 0, 4294967295u);
  EXPECT_EQ(
      Out(),
      "Setting oscillator period:\nOscillator period set to 4294967295 (4.294967E+01s, 2.328306E-02Hz)\n");
  EXPECT_EQ(COM_KESTRAVO_GetOscillatorPeriod(0, &v), 0);
  EXPECT_EQ(v, 4294967295u);
  control::SetDataRate(38400);
  EXPECT_EQ(Out(),
            "Setting the data rate to 38400 baud:\nData rate set to 38400 baud (device), 38400 baud (PC)\n");
  EXPECT_EQ(device_->baud(), 38400u);
  control::State.debug = false;

  control::SetDIOOutput(3, 0x41);  // cut to 6 bits
  EXPECT_EQ(Out(), "Output DIO3 configuration set to 1=01h (software trigger)\n");
  uint8_t b = 0;
  EXPECT_EQ(COM_KESTRAVO_GetOutputConfig(0, 3, &b), 0);
  EXPECT_EQ(b, 1);
}

TEST_F(SettingsTest, ReadModifyWriteLeavesTheOtherFields) {
  ASSERT_EQ(COM_KESTRAVO_SetSwitchTriggerDelay(0, 1, 3, 9), 0);
  control::SetSwitchTriggerDelay(true, 1, 7);
  EXPECT_EQ(Out(), "Rise delay of switch #1 trigger set to 7 (3.5ns)\n");
  uint8_t rise = 0, fall = 0;
  EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerDelay(0, 1, &rise, &fall), 0);
  EXPECT_EQ(rise, 7);
  EXPECT_EQ(fall, 9);
  control::SetSwitchTriggerDelay(false, 1, 15);
  EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerDelay(0, 1, &rise, &fall), 0);
  EXPECT_EQ(rise, 7);
  EXPECT_EQ(fall, 15);
  Out();

  ASSERT_EQ(COM_KESTRAVO_SetInputConfig(0, 0x04, 0x41), 0);
  control::SetDIOInput(2, false, true);
  EXPECT_EQ(Out(), "DIO2 configuration set to terminated input\n");
  uint8_t outputs = 0, terminations = 0;
  EXPECT_EQ(COM_KESTRAVO_GetInputConfig(0, &outputs, &terminations), 0);
  EXPECT_EQ(outputs, 0x00);
  EXPECT_EQ(terminations, 0x45);
  control::ShowDIOInput(2);
  EXPECT_EQ(Out(), "DIO2 configuration: terminated input\n");

  // The software trigger keeps every other configuration bit as read.
  ASSERT_EQ(COM_KESTRAVO_SetControllerConfig(0, 0x47), 0);
  const uint16_t before = Controller();
  control::IssueSoftwareTrigger(0x18, 0x08);
  const uint16_t after = Controller();
  EXPECT_EQ(after & 0xE7, before & 0xE7);
  EXPECT_EQ(after & 0x18, 0x08);
  EXPECT_EQ(Out(), control::SoftwareTriggerText(before, uint16_t((before & 0xFFE7) | 0x18),
                                                uint16_t((before & 0xFFE7) | 0x08)));
}

TEST_F(SettingsTest, AFailedReadIsReportedAndNothingIsWritten) {
  device_->faults.silent = 1;  // the read of the two delays gets no answer
  control::SetSwitchTriggerDelay(true, 0, 5);
  EXPECT_EQ(Out(),
            "Error at COM_KESTRAVO_GetSwitchTriggerDelay: Error receiving command, I/O Error Message: "
            "Error reading data from the port\n");
  ASSERT_EQ(COM_KESTRAVO_Purge(0), 0);
  uint8_t rise = 9, fall = 9;
  EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerDelay(0, 0, &rise, &fall), 0);
  EXPECT_EQ(rise, 0);

  device_->faults.silent = 1;
  control::ShowPulsers();  // the first failed read ends the display
  EXPECT_EQ(Out(),
            "Error at COM_KESTRAVO_GetPulserDelay: Error receiving command, I/O Error Message: Error "
            "reading data from the port\n");
}

TEST_F(SettingsTest, TimesCarryTheDevicesOffsetInEveryDisplay) {
  // 1000 steps are (1000 + 3) x 10 ns of delay and (1000 + 2) x 10 ns of width, in the line of one
  // setting and in the display of all pulsers alike.
  ASSERT_EQ(COM_KESTRAVO_SetPulserDelay(0, 1, 1000), 0);
  ASSERT_EQ(COM_KESTRAVO_SetPulserWidth(0, 1, 1000), 0);
  control::ShowSetting(control::SettingId::kPulserDelay, 1);
  control::ShowSetting(control::SettingId::kPulserWidth, 1);
  EXPECT_EQ(
      Out(),
      "Pulse delay of pulser #1: 1000 (1.003000E-05s)\nPulse width of pulser #1: 1000 (1.002000E-05s)\n");
  control::ShowPulsers();
  const std::string all = Out();
  EXPECT_NE(all.find("Pulser delays:\t#0: 0 (3.000000E-08s),\t#1: 1000 (1.003000E-05s),"), std::string::npos)
      << all;
  EXPECT_NE(all.find("Pulser widths:\t#0: 98 (1.000000E-06s),\t#1: 1000 (1.002000E-05s),"), std::string::npos)
      << all;
}

TEST_F(SettingsTest, PulserAndSwitchDisplaysListEveryIndexWithItsSource) {
  control::State.debug = true;
  control::ShowPulsers();
  std::string out = Out();
  EXPECT_EQ(out.substr(0, 60), "Getting pulser #0 delay:\nGetting pulser #1 delay:\nGetting pu");
  EXPECT_NE(out.find("Getting pulser #5 configuration:\nPulser configurations:\n"
                     "\t0 (#0-trig): 02h (oscillator 0)\t1 (#0-stop): 00h (logic 0)\n"
                     "\t2 (#1-trig): 00h (logic 0)\t3 (#1-stop): 00h (logic 0)\n"
                     "\t4 (#2-trig): 00h (logic 0)\t5 (#3-trig): 00h (logic 0)\n"),
            std::string::npos)
      << out;
  control::State.debug = false;
  control::ShowSwitches();
  out = Out();
  EXPECT_EQ(out.substr(0, 85),
            "Switch configurations:\n\t0 trigger: 0=00h (logic 0),\t0 enable:  0=00h (logic 0)\n\t1 tri");
  EXPECT_NE(out.find("\t4 trigger: 4=04h,\t4 enable:  4=04h\n\ttrigger: disabled,\tenable:  disabled\n"),
            std::string::npos);
  control::ShowDIOs();
  EXPECT_EQ(Out().substr(0, 70),
            "DIO configuration:\n\tDIO0:\tinput,\tconfiguration: 0=00h (logic 0)\n\tDIO1:");
}

TEST_F(SettingsTest, ContinuousControllerDisplayRedrawsAndEndsOnAFailure) {
  // A key other than Esc is dropped; a change made while it runs shows in the next pass.
  // Without a terminal each pass is one line of labels and the values read in it.
  Type({"x", "y"});
  control::ShowControllerState(true);
  std::string out = Out();
  const std::string line =
      "Controller state: 0507h; device enable:          Y       oscillator enable: Y    pulser enable:    Y; "
      "prevent device disable: N       device enabled:    Y    master enable:    Y; software trigger:       "
      "0 "
      "      software pulse:    0    soft trigger out: 0; dithering disable:      N\n";
  EXPECT_EQ(out, line + line + line) << out;

  // On a terminal the frame stands once and the values are redrawn in place.
  platform::SetTerminalModes(false, true, 120);
  Type({"x"});
  control::ShowControllerState(true);
  out = Out();
  platform::SetTerminalModes(false, false, 80);
  // The frame comes with the first values, never with placeholders.
  EXPECT_EQ(out.find("Controller state: 0507h, press 'Esc' to quit\r\n        device enable:          Y"), 0u)
      << out;
  EXPECT_EQ(out.find("0000h"), std::string::npos) << out;
  EXPECT_NE(out.find('\x1b'), std::string::npos) << out;

  // A failed read ends the display after the error line.
  device_->faults.silent = 1000;
  Type({"x", "x", "x"});
  control::ShowControllerState(true);
  out = Out();
  EXPECT_EQ(out.substr(out.size() - 52), "I/O Error Message: Error reading data from the port\n") << out;
}

// The switch grammar: each row, its forms, its limits and what follows it.
struct SwitchCase {
  std::vector<std::string> args;  // after the COM number
  int status;                     // 0, or the index of the failing argument
  const char* output;             // the whole output, or nullptr: not checked
};

class SwitchGrammarTest : public SettingsTest {
 protected:
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"COM-KESTRAVO-Control", "6"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    int i = 2;
    return control::RunSwitch(int(argv.size()), argv.data(), i);
  }
};

TEST_F(SwitchGrammarTest, EveryRowParsesItsFormsAndRefusesValuesBeyondItsLimits) {
  const SwitchCase cases[] = {
      {{"-O"}, 0, "Oscillator period: 998 (1.000000E-05s, 1.000000E+05Hz)\n"},
      {{"-o98"}, 0, "Oscillator period set to 98 (1.000000E-06s, 1.000000E+06Hz)\n"},
      {{"-O4294967295"}, 0, nullptr},
      {{"-O4294967296"}, 2, ""},
      {{"-O98x"}, 2, ""},
      {{"-$"}, 2, ""},
      {{"-$19200"}, 0, "Data rate set to 19200 baud (device), 19200 baud (PC)\n"},
      {{"-P0D100h"}, 0, "Pulse delay of pulser #0 set to 256 (2.590000E-06s)\n"},
      {{"-P0D100H"}, 2, ""},
      {{"-P3D0"}, 0, nullptr},
      {{"-P4D1"}, 2, ""},
      {{"-P3d"}, 0, "Pulse delay of pulser #3: 0 (3.000000E-08s)\n"},
      {{"-P3dx"}, 2, ""},
      {{"-P3W5"}, 0, "Pulse width of pulser #3 set to 5 (7.000000E-08s)\n"},
      {{"-P1B16777215"}, 0, "Burst size of pulser #1 set to 16777215\n"},
      {{"-P2B1"}, 2, ""},
      {{"-P1b"}, 0, "Burst size of pulser #1: 16777215\n"},
      {{"-P5C63"}, 0, "Configuration of pulser #5 set to 63=3Fh (negated undefined)\n"},
      {{"-P5C64"}, 2, ""},
      {{"-P6C1"}, 2, ""},
      {{"-P5c"}, 0, "Configuration of pulser #5: 63=3Fh (negated undefined)\n"},
      {{"-P0X1"}, 2, ""},
      {{"-P0"}, 2, ""},
      {{"-P 0D1"}, 2, ""},
      {{"-p"}, 0, "Product identification: KESTRAVO PG4-HV pulse generator (simulated)\n"},
      {{"-R3T63"}, 0, "Configuration of switch #3 trigger set to 63=3Fh (negated undefined)\n"},
      {{"-R3T64"}, 2, ""},
      {{"-R4T1"}, 2, ""},
      {{"-R0E1"}, 0, "Configuration of switch #0 enable set to 1=01h (software trigger)\n"},
      {{"-R0R15"}, 0, "Rise delay of switch #0 trigger set to 15 (7.5ns)\n"},
      {{"-R0R16"}, 2, ""},
      {{"-R0F14"}, 0, "Fall delay of switch #0 trigger set to 14 (7.0ns)\n"},
      {{"-R0r"}, 0, "Rise delay of switch #0 trigger: 15 (7.5ns)\n"},
      {{"-R0D15"}, 0, "Delay of switch #0 enable set to 15 (7.5ns)\n"},
      {{"-R4M15"}, 0, "Mapping #4 of switch trigger set to 15=0Fh\n"},
      {{"-R4M16"}, 2, ""},
      {{"-R5M1"}, 2, ""},
      {{"-R4n"}, 0, "Mapping #4 of switch enable: 4=04h\n"},
      {{"-R4nx"}, 2, ""},
      {{"-RYM"}, 0, "Switch trigger mapping set to enabled\n"},
      {{"-Rnn"}, 0, "Switch enable mapping set to disabled\n"},
      {{"-RYMx"}, 2, ""},
      {{"-RXM"}, 2, ""},
      {{"-r"}, 2, ""},
      {{"-D6IT"}, 0, "DIO6 configuration set to terminated input\n"},
      {{"-D0Io"}, 0, "DIO0 configuration set to output\n"},
      {{"-D7IT"}, 2, ""},
      {{"-D0ITx"}, 2, ""},
      {{"-D0IX"}, 2, ""},
      {{"-D0ixyz"}, 0, "DIO0 configuration: output\n"},
      {{"-D1O41h"}, 0, "Output DIO1 configuration set to 1=01h (software trigger)\n"},
      {{"-D1O"}, 2, ""},
      {{"-D1oxyz"}, 0, "Output DIO1 configuration: 1=01h (software trigger)\n"},
      {{"-D1x"}, 2, ""},
      {{"-d"}, 0, "Firmware date: Mar 14 2024\n"},
      {{"-dx"}, 2, "Firmware date: Mar 14 2024\n"},  // runs, then fails
      {{"-J"}, 0, "Enable state of the device: on\n"},
      {{"-Jnope"}, 0, "Enable state of the device set to: off\n"},
      {{"-Jx"}, 2, ""},
      // The small 'j' is the same switch as the capital, as the usage text lists it.
      {{"-jy"}, 0, "Enable state of the device set to: on\n"},
      {{"-j"}, 0, "Enable state of the device: on\n"},
      {{"-jn"}, 0, "Enable state of the device set to: off\n"},
      {{"-jx"}, 2, ""},
      {{"-w"}, 0, nullptr},
      {{"-W255"}, 0, nullptr},
      {{"-wFFh"}, 0, nullptr},
      {{"-W256"}, 2, ""},
      {{"-W1FFh"}, 2, ""},
      // A software trigger that does not parse never fires.
      {{"-A1"}, 2, ""},
      {{"-a2x"}, 2, ""},
      {{"-AT01"}, 2, ""},
      {{"-A10012"}, 2, ""},
      {{"-A1001"}, 0, nullptr},
      {{"-Bx"}, 2, "Buffer is empty\n"},
      {{"-@", "3"}, 0, ""},
      {{"-@"}, 3, ""},
      {{"-K"}, 2, ""},
      {{"-k"}, 2, ""},
  };
  for (const SwitchCase& c : cases) {
    const uint16_t controller = Controller();
    EXPECT_EQ(Run(c.args), c.status) << c.args[0];
    const std::string out = Out();
    if (c.output) {
      EXPECT_EQ(out, c.output) << c.args[0];
    }
    if (c.status != 0) {
      EXPECT_EQ(Controller(), controller) << c.args[0];  // a switch that failed changed nothing
    }
    control::State.PortNumber = 0;
  }
}

// The key rows and menus: what the user types, chunk by chunk, and what the program prints.
struct KeyCase {
  std::vector<std::string> keys;
  const char* output;
};

class KeyMenuTest : public SettingsTest {
 protected:
  std::string Keys(const std::vector<std::string>& keys) {
    control::State.quiet = true;
    Type(keys);
    control::KeyLoop();
    return Out();
  }
};

const char kPulserMenu[] =
    "Press 'P' to display pulser settings, 'D' to set the delay,\n      'W' to set the width, 'B' to set the "
    "burst size,\n      'C' to set the configuration: ";
const char kSwitchMenu[] =
    "Press 'P' to display switch settings\n      'T'/'E' to set the trigger/enable configuration\n"
    "      'R'/'F'/'D' to set the trigger rise/trigger fall/enable delay\n"
    "      'M'/'N' to set the trigger/enable mapping: ";
const char kDIOMenu[] =
    "Press 'D' to get the DIO config., 'I' to set the input config.,\n      'O' to set the output config.: ";
const char kEsc[] = "\x1b";

TEST_F(KeyMenuTest, EscAtEveryLevelEndsTheCommandWithoutADeviceCall) {
  const std::string pulser = kPulserMenu, sw = kSwitchMenu, dio = kDIOMenu;
  const KeyCase cases[] = {
      {{"P", kEsc}, ""},
      {{"P", "D", kEsc}, "Delay\nPress 0-3 to select the pulser: \n"},
      {{"P", "D", "2", kEsc}, "Delay\nPress 0-3 to select the pulser: 2\nEnter the pulse delay: \n"},
      {{"R", kEsc}, ""},
      {{"R", "T", kEsc}, "Trigger configuration\nPress 0-3 to select the switch: \n"},
      {{"R", "M", kEsc}, "Trigger mapping\nPress 0-4 to select the mapping, 'Y'/'N' to enable/disable: \n"},
      {{"R", "D", "1", kEsc}, "Enable delay\nPress 0-3 to select the switch: 1\nEnter the enable delay: \n"},
      {{"D", kEsc}, ""},
      {{"D", "I", kEsc}, "Input configuration\nPress 0-6 to select the DIO:\n"},
      {{"D", "I", "3", kEsc},
       "Input configuration\nPress 0-6 to select the DIO: 3\nPress 'O' to set DIO as output, 'I' as input, "
       "'T' as "
       "input w/ termination: \n"},
      {{"D", "O", "3", kEsc},
       "Output configuration\nPress 0-6 to select the DIO: 3\nEnter the configuration: \n"},
      {{"J", kEsc}, "Press 'Y'/'N' to turn the enable state of the device on/off: \n"},
      {{"A", kEsc}, "Enter the software-trigger configuration:\n  software trigger start [1/0]: \n"},
      {{"A", "1\n", "0\n", kEsc},
       "Enter the software-trigger configuration:\n  software trigger start [1/0]: \n  software trigger stop "
       " "
       "[1/0]: \n  software pulse start   [1/0]: \n"},
      {{"A", "1\n", "2\n"},
       "Enter the software-trigger configuration:\n  software trigger start [1/0]: \n  software trigger stop "
       " "
       "[1/0]: \n"},
      {{"O", kEsc}, "Enter the oscillator period: \n"},
      {{"W", kEsc}, "Enter the configuration: \n"},
      {{"$", kEsc}, "Enter the new data rate in baud: \n"},
      {{"O", "12x\n"}, "Enter the oscillator period: \n"},
  };
  for (const KeyCase& c : cases) {
    const uint16_t controller = Controller();
    std::string expected = c.output;
    if (c.keys[0] == "P") expected = pulser + (c.keys[1] == kEsc ? "\n" : expected);
    if (c.keys[0] == "R") expected = sw + (c.keys[1] == kEsc ? "\n" : expected);
    if (c.keys[0] == "D") expected = dio + (c.keys[1] == kEsc ? "\n" : expected);
    EXPECT_EQ(Keys(c.keys), expected) << c.keys[0] << " " << c.keys.size();
    EXPECT_EQ(Controller(), controller);
  }
  uint32_t period = 0;
  EXPECT_EQ(COM_KESTRAVO_GetOscillatorPeriod(0, &period), 0);
  EXPECT_EQ(period, 998u);
}

TEST_F(KeyMenuTest, MenusChangeTheDevice) {
  std::string out = Keys({"P", "C", "6", "9", "5", "63\n"});  // the selector ignores 6 to 9
  EXPECT_EQ(out, std::string(kPulserMenu) +
                     "Configuration\nPress 0-5 to select the pulser: 5\nEnter the configuration: \n"
                     "Configuration of pulser #5 set to 63=3Fh (negated undefined)\n");
  uint8_t b = 0;
  EXPECT_EQ(COM_KESTRAVO_GetPulserConfig(0, 5, &b), 0);
  EXPECT_EQ(b, 63);

  out = Keys({"R", "M", "Y"});  // enables the mapping without a number prompt
  EXPECT_EQ(out, std::string(kSwitchMenu) +
                     "Trigger mapping\nPress 0-4 to select the mapping, 'Y'/'N' to enable/disable: Y\n"
                     "Switch trigger mapping set to enabled\n");
  EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerMappingEnable(0, &b), 0);
  EXPECT_EQ(b, 1);
  out = Keys({"R", "T", "Y", "2", "300\n"});  // 'Y' only where mappings are chosen; 300 goes as 44
  EXPECT_EQ(
      out, std::string(kSwitchMenu) +
               "Trigger configuration\nPress 0-3 to select the switch: 2\nEnter the trigger configuration: \n"
               "Configuration of switch #2 trigger set to 44=2Ch (negated pulser 3 output)\n");
  EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerConfig(0, 2, &b), 0);
  EXPECT_EQ(b, 44);

  out = Keys({"D", "I", "4", "T"});
  EXPECT_EQ(out,
            std::string(kDIOMenu) +
                "Input configuration\nPress 0-6 to select the DIO: 4\nPress 'O' to set DIO as output, 'I' as "
                "input, 'T' as input w/ termination: Input w/ termination\nDIO4 configuration set to "
                "terminated input\n");
  out = Keys({"J", "x", "n"});
  EXPECT_EQ(out,
            "Press 'Y'/'N' to turn the enable state of the device on/off: N\n"
            "Enable state of the device set to: off\n");
  int32_t on = 1;
  EXPECT_EQ(COM_KESTRAVO_GetDeviceEnable(0, &on), 0);
  EXPECT_EQ(on, 0);

  out = Keys({"W", "1FFh\n"});  // the low 8 bits
  EXPECT_EQ(out.substr(0, 64), "Enter the configuration: \nController configuration set to 00FFh\n");
  EXPECT_EQ(Controller() & 0xFF, 0xFF);
}

TEST_F(KeyMenuTest, FourBitFieldsAboveFifteenAreNeverSent) {
  for (const char* letter : {"R", "F", "D", "M", "N"}) {
    const std::string out = Keys({"R", letter, "1", "16\n"});
    EXPECT_EQ(out.substr(out.size() - 3), ": \n") << out;  // the prompt, then nothing
  }
  Keys({"R", "M", "1", "256\n"});
  uint8_t b = 0;
  EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerMapping(0, 1, &b), 0);
  EXPECT_EQ(b, 1);
  uint8_t rise = 0, fall = 0;
  EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerDelay(0, 1, &rise, &fall), 0);
  EXPECT_EQ(rise + fall, 0);
}

TEST_F(KeyMenuTest, SoftwareTriggerDialogueAndKey) {
  const std::string out = Keys({"A", "1\n", "1\n", "1\n", "0\n"});
  EXPECT_EQ(
      out,
      "Enter the software-trigger configuration:\n  software trigger start [1/0]: \n  software trigger stop  "
      "[1/0]: \n  software pulse start   [1/0]: \n  software pulse stop    [1/0]: \n" +
          control::SoftwareTriggerText(0x0507, 0x051F, 0x050F));
  const uint16_t s = Controller();
  EXPECT_EQ(s & 0x18, 0x08);
  EXPECT_EQ(Keys({"a"}), control::SoftwareTriggerText(s, uint16_t((s & 0xFFE7) | 0x10), s & 0xFFE7));
  // Answers typed at once answer the questions in order, as "%c" reads them.
  const uint16_t t = Controller();
  EXPECT_EQ(
      Keys({"A", "0101"}),
      "Enter the software-trigger configuration:\n  software trigger start [1/0]: \n  software trigger stop  "
      "[1/0]: \n  software pulse start   [1/0]: \n  software pulse stop    [1/0]: \n" +
          control::SoftwareTriggerText(t, uint16_t(t & 0xFFE7), uint16_t((t & 0xFFE7) | 0x18)));
}

}  // namespace
