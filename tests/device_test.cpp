// The exported device operations: bytes on the wire, reply conversions, partial writes, range
// checks, messages, and round trips against the simulated device.
#include <cmath>
#include <cstring>
#include <functional>

#include "tests/support/fixture.h"

using namespace kestravo;
using testing_support::LinkTest;
using testing_support::ScriptedPeer;

namespace {

class DeviceTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    peer_ = NewPeer();
    OpenSlot(0, 5, peer_.get());
    StartTrace(0);
  }
  // Runs one operation against a device that answers with `reply` (the echo letter and carriage
  // return included); returns its result and keeps what was sent in sent_.
  int32_t Run(const std::function<int32_t()>& op, const std::string& reply) {
    peer_->received.clear();
    peer_->responder = [reply](const std::string&) { return reply; };
    int32_t r = op();
    sent_ = peer_->received;
    return r;
  }
  bool Traced(const std::string& text) { return Trace().find(text) != std::string::npos; }

  std::shared_ptr<ScriptedPeer> peer_;
  std::string sent_;
};

struct WireCase {
  const char* name;
  std::function<int32_t()> op;
  std::string sent;
  std::string reply;
  int32_t result;
};

TEST_F(DeviceTest, RequestsOnTheWire) {
  static const uint8_t kBytes[] = {0xAB, 0x01};
  static uint8_t out[300];
  static const uint8_t kZeroName[52] = {};
  const WireCase cases[] = {
      {"pulser delay", [] { return COM_KESTRAVO_SetPulserDelay(0, 2, 1000); }, "d2000003E8\r", "d2000003E8\r",
       0},
      {"pulser delay 3", [] { return COM_KESTRAVO_GetPulserDelay(0, 3, reinterpret_cast<uint32_t*>(out)); },
       "d3\r", "d300000001\r", 0},
      {"trigger delay", [] { return COM_KESTRAVO_SetSwitchTriggerDelay(0, 1, 3, 10); }, "g1A3\r", "g1A3\r",
       0},
      {"input config", [] { return COM_KESTRAVO_SetInputConfig(0, 0x05, 0x12); }, "i1205\r", "i1205\r", 0},
      {"memory size 0", [] { return COM_KESTRAVO_SetMemoryData(0, 0x10, 0, kBytes); }, "Y0010000,\r",
       "Y0010000\r", 0},
      {"memory write", [] { return COM_KESTRAVO_SetMemoryData(0, 0x10, 2, kBytes); }, "Y0010002AB01\r",
       "Y0010002AB01\r", 0},
      {"memory read", [] { return COM_KESTRAVO_GetMemoryData(0, 0x3F80, 128, out); }, "Y3F80080\r",
       "Y3F80080" + std::string(256, '7') + "\r", 0},
      {"burst max", [] { return COM_KESTRAVO_SetPulserBurst(0, 1, 16777215); }, "b1FFFFFF\r", "b1FFFFFF\r",
       0},
      {"pulser config byte", [] { return COM_KESTRAVO_SetPulserConfig(0, 4, 0x125); }, "p425\r", "p425\r", 0},
      {"switch config byte", [] { return COM_KESTRAVO_SetSwitchTriggerConfig(0, 0, 0x1A5); }, "e0A5\r",
       "e0A5\r", 0},
      {"config flags", [] { return COM_KESTRAVO_SetConfigFlags(0, 5, 0, 1); }, "X052\r", "X052\r", 0},
      {"config data 125", [] { return COM_KESTRAVO_GetConfigData(0, 125, out); }, "K7D\r",
       "K7D" + std::string(150, '0') + "\r", 0},
      {"device enable", [] { return COM_KESTRAVO_SetDeviceEnable(0, 0x100); }, "EY\r", "EN\r", 0},
      {"controller", [] { return COM_KESTRAVO_SetControllerConfig(0, 0x118); }, "c18\r", "c18\r", 0},
      {"mapping enable", [] { return COM_KESTRAVO_SetSwitchEnableMappingEnable(0, 1); }, "lY\r", "lY\r", 0},
      {"mapping 4", [] { return COM_KESTRAVO_GetSwitchTriggerMapping(0, 4, out); }, "m4\r", "m43\r", 0},
      {"zero name", [] { return COM_KESTRAVO_SetConfigName(0, 0, kZeroName); },
       "A00" + std::string(104, '0') + "\r", "A00" + std::string(104, '0') + "\r", 0},
      {"link test", [] { return COM_KESTRAVO_Test(0, "abc"); }, "@abc\r", "@abc\r", 0},
      {"empty link test", [] { return COM_KESTRAVO_Test(0, ""); }, "@\r", "@whatever\r", 0},
      {"period", [] { return COM_KESTRAVO_SetOscillatorPeriod(0, 1000); }, "s000003E8\r", "s000003E8\r", 0},
      {"reset", [] { return COM_KESTRAVO_ResetCurrentConfig(0); }, "*\r", "*anything\r", 0},
      {"update", [] { return COM_KESTRAVO_UpdateMemoryData(0); }, "Y\r", "Y\r", 0},
  };
  for (const WireCase& c : cases) {
    EXPECT_EQ(Run(c.op, c.reply), c.result) << c.name;
    EXPECT_EQ(sent_, c.sent) << c.name;
  }
}

TEST_F(DeviceTest, RangeChecksSendNothingAndWriteNoMessage) {
  uint32_t v32;
  uint8_t v8, block[300];
  const std::function<int32_t()> ops[] = {
      [&] { return COM_KESTRAVO_GetPulserDelay(0, 4, &v32); },
      [&] { return COM_KESTRAVO_SetPulserWidth(0, 4, 1); },
      [&] { return COM_KESTRAVO_SetPulserBurst(0, 1, 16777216); },
      [&] { return COM_KESTRAVO_SetPulserBurst(0, 2, 1); },
      [&] { return COM_KESTRAVO_GetPulserConfig(0, 6, &v8); },
      [&] { return COM_KESTRAVO_GetSwitchTriggerMapping(0, 5, &v8); },
      [&] { return COM_KESTRAVO_SetSwitchTriggerDelay(0, 4, 1, 1); },
      [&] { return COM_KESTRAVO_GetOutputConfig(0, 7, &v8); },
      [&] { return COM_KESTRAVO_GetConfigData(0, 126, block); },
      [&] { return COM_KESTRAVO_SaveCurrentConfig(0, 126); },
      [&] { return COM_KESTRAVO_GetMemoryData(0, 0, 4096, block); },
      [&] { return COM_KESTRAVO_GetMemoryData(0, 0, 4093, block); },
      [&] { return COM_KESTRAVO_SetMemoryData(0, 0, 4095, block); },
      // Beyond the 16 KiB area: the 16-bit address field would wrap to another place.
      [&] { return COM_KESTRAVO_GetMemoryData(0, 0x12345, 1, block); },
      [&] { return COM_KESTRAVO_SetMemoryData(0, 0x10010, 16, block); },
      [&] { return COM_KESTRAVO_GetMemoryData(0, 0x4000, 1, block); },
      [&] { return COM_KESTRAVO_SetMemoryData(0, 0x4000, 0, block); },
      [&] { return COM_KESTRAVO_SetMemoryData(0, 0x3FFF, 2, block); },
      [&] { return COM_KESTRAVO_GetMemoryData(0, 0x3F80, 129, block); },
      [&] { return COM_KESTRAVO_GetMemoryData(0, 0xFFFFFFFF, 2, block); },
      // A carriage return would end the frame early: the echo could never be read back.
      [&] { return COM_KESTRAVO_Test(0, "\x01\x02\r\x0E"); },
      [&] { return COM_KESTRAVO_Test(0, "\r"); },
  };
  std::string before = Trace();
  for (const auto& op : ops) {
    EXPECT_EQ(Run(op, ""), COM_KESTRAVO_BAD_ARGUMENT);
    EXPECT_EQ(sent_, "");
    EXPECT_EQ(COM_KESTRAVO_GetInterfaceState(0), COM_KESTRAVO_BAD_ARGUMENT);
  }
  EXPECT_EQ(Trace(), before);
}

TEST_F(DeviceTest, PortNumberOutOfRangeIsNotRecorded) {
  InterfaceState[0] = -9;
  uint32_t v;
  EXPECT_EQ(COM_KESTRAVO_GetPulserDelay(16, 0, &v), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_EQ(COM_KESTRAVO_SetConfigFlags(99, 0, 1, 1), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_EQ(COM_KESTRAVO_Test(16, "a"), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_EQ(COM_KESTRAVO_GetInterfaceState(0), COM_KESTRAVO_SEND_TERMINATION_FAILED);
}

TEST_F(DeviceTest, IndexedMessagesNameTheOperationAndItsParameters) {
  uint32_t v = 77;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetPulserDelay(0, 0, &v); }, "d0X0000001\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_EQ(v, 77u);
  EXPECT_TRUE(
      Traced("COM_KESTRAVO_GetPulserDelay: Wrong argument received: data='0X0000001' - Cannot obtain "
             "parameter Delay\n"));

  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetPulserDelay(0, 0, &v); }, "d100000001\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced(
      "COM_KESTRAVO_GetPulserDelay: Wrong argument received: data='1' - PulserNo=0 expected, 1 read\n"));

  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetPulserDelay(0, 2, 1000); }, "d2000003E7\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced(
      "COM_KESTRAVO_SetPulserDelay: Wrong argument received: data='2' - Delay=1000 expected, 999 read\n"));

  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetPulserConfig(0, 1, 0x21); }, "p120\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced(
      "COM_KESTRAVO_SetPulserConfig: Wrong argument received: data='1' - Config=21h expected, 20h read\n"));

  uint8_t b = 0;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetPulserConfig(0, 1, &b); }, "pG20\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(
      Traced("COM_KESTRAVO_GetPulserConfig: Wrong argument received: data='G' - Cannot obtain parameter "
             "PulserCfgNo\n"));

  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetSwitchEnableMapping(0, 2, 3); }, "n24\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(
      Traced("COM_KESTRAVO_SetSwitchEnableMapping: Wrong argument received: data='2' - Mapping=3h expected, "
             "4h read\n"));

  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetOutputConfig(0, 6, 10); }, "o60B\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced(
      "COM_KESTRAVO_SetOutputConfig: Wrong argument received: data='6' - Config=10 expected, 11 read\n"));

  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetPulserDelay(0, 1, &v); }, "d1000003e8\r"), 0);  // lower case
  EXPECT_EQ(v, 1000u);
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetPulserDelay(0, 1, &v); }, "d1000003E\r"),
            COM_KESTRAVO_RECEIVE_DATA_FAILED);  // wrong length
}

TEST_F(DeviceTest, BurstReadAboveTwentyFourBitsIsRefused) {
  uint32_t burst = 5;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetPulserBurst(0, 0, &burst); }, "b0-00001\r"),
            COM_KESTRAVO_BAD_ARGUMENT);
  EXPECT_EQ(burst, 5u);
  EXPECT_TRUE(Traced(
      "COM_KESTRAVO_GetPulserBurst: Wrong argument received: data='0-00001' - Obtained parameter Burst "
      "to high: 4294967295 read, 16777215 allowed\n"));
}

TEST_F(DeviceTest, SwitchTriggerDelayDigitsAndMessages) {
  uint8_t rise = 0, fall = 0;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetSwitchTriggerDelay(0, 1, &rise, &fall); }, "g1A3\r"), 0);
  EXPECT_EQ(rise, 3);
  EXPECT_EQ(fall, 10);
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetSwitchTriggerDelay(0, 1, 3, 10); }, "g1A4\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(
      Traced("COM_KESTRAVO_SetSwitchTriggerDelay: Wrong argument received: data='1' - RiseDelay=3h expected, "
             "4h read\n"));
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetSwitchTriggerDelay(0, 1, 3, 10); }, "g1B3\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced("FallDelay=Ah expected, Bh read\n"));
  uint8_t delay = 0;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetSwitchEnableDelay(0, 2, &delay); }, "h2F\r"), 0);
  EXPECT_EQ(delay, 15);
}

TEST_F(DeviceTest, MappingEnablesCompareTheirEcho) {
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetSwitchEnableMappingEnable(0, 1); }, "lN\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  std::string t = Trace();
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetSwitchTriggerMappingEnable(0, 2); }, "kY\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_EQ(sent_, "kY\r");
  EXPECT_EQ(Trace(), t);  // no message for a mismatch
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetSwitchEnableMappingEnable(0, 1); }, "lX\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced("ReadCommand-bool: Wrong argument received: command='l', "));
}

TEST_F(DeviceTest, InputAndControllerMessages) {
  uint8_t out = 0, term = 0;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetInputConfig(0, &out, &term); }, "i4003\r"), 0);
  EXPECT_EQ(out, 0x03);
  EXPECT_EQ(term, 0x40);
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetInputConfig(0, 0x05, 0x12); }, "i1204\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(
      Traced("COM_KESTRAVO_SetInputConfig: Wrong argument received: data='1204' - OutputEnable=05h expected, "
             "04h read\n"));
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetControllerConfig(0, 0x118); }, "c10\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(
      Traced("COM_KESTRAVO_SetControllerConfig: Wrong argument received: data='10' - Config=18h expected, "
             "10h read\n"));
  uint16_t state = 0;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetControllerState(0, &state); }, "c0407\r"), 0);
  EXPECT_EQ(state, 0x0407);
}

TEST_F(DeviceTest, MonitoringConversions) {
  double v12 = 0, v5 = 0, v3 = 0, cpu = 0;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetHousekeeping(0, &v12, &v5, &v3, &cpu); }, "H2EE013880CE47530\r"),
            0);
  EXPECT_DOUBLE_EQ(v12, 12.0);
  EXPECT_DOUBLE_EQ(v5, 5.0);
  EXPECT_NEAR(v3, 3.3, 1e-9);
  EXPECT_NEAR(cpu, 26.85, 1e-9);
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetHousekeeping(0, &v12, &v5, &v3, &cpu); }, "H2EE013880CE40000\r"),
            0);
  EXPECT_NEAR(cpu, -273.15, 1e-9);

  double t[3] = {};
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetSensorData(0, t); }, "T7530FFFF7530\r"), 0);
  EXPECT_NEAR(t[0], 26.85, 1e-9);
  EXPECT_EQ(t[1], 65535.0);

  uint32_t s = 0, op = 0;
  uint16_t ms = 0;
  const std::pair<const char*, uint16_t> fractions[] = {{"80", 500}, {"FF", 996}, {"00", 0}};
  for (auto [field, expect] : fractions) {
    std::string reply = std::string("U0000000A") + field + "00000005\r";
    EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetUptime(0, &s, &ms, &op); }, reply), 0);
    EXPECT_EQ(ms, expect);
    EXPECT_EQ(s, 10u);
    EXPECT_EQ(op, 5u);
  }

  double load = 0, freq = 0;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetCPUData(0, &load, &freq); }, "C1234000\r"), 0);
  EXPECT_DOUBLE_EQ(load, 0.123);
  EXPECT_DOUBLE_EQ(freq, 16777216.0);

  uint32_t up = 0;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetTotalTime(0, &up, &op); }, "u0000010000000020\r"), 0);
  EXPECT_EQ(up, 256u);
  EXPECT_EQ(op, 32u);

  char date[COM_KESTRAVO_FW_DATE_SIZE] = {};
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetFWDate(0, date); }, "DMar 14 2024\r"), 0);
  EXPECT_STREQ(date, "Mar 14 2024");
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetFWDate(0, date); }, "DMar 14 202\r"),
            COM_KESTRAVO_RECEIVE_DATA_FAILED);
}

TEST_F(DeviceTest, MultiFieldRepliesKeepTheFieldsReadBeforeAFailure) {
  int32_t red = 9, green = 9, blue = 9;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetLEDData(0, &red, &green, &blue); }, "LYNY\r"), 0);
  EXPECT_EQ(red, 1);
  EXPECT_EQ(green, 0);
  EXPECT_EQ(blue, 1);
  red = green = blue = 9;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetLEDData(0, &red, &green, &blue); }, "LYxY\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_EQ(blue, 1);
  EXPECT_EQ(green, 9);
  EXPECT_EQ(red, 9);

  int32_t en[3] = {9, 9, 9}, failed[3] = {9, 9, 9};
  uint16_t set[3] = {}, meas[3] = {}, pwm[3] = {};
  std::string fans = "BNY0BB80B8601C2YN0BB80B8601C2YN000000000000\r";
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetFanData(0, en, failed, set, meas, pwm); }, fans), 0);
  EXPECT_EQ(en[0], 0);
  EXPECT_EQ(failed[0], 1);
  EXPECT_EQ(set[0], 3000);
  EXPECT_EQ(meas[1], 2950);
  EXPECT_EQ(pwm[1], 450);

  uint32_t s = 1, op = 1;
  uint16_t ms = 1;
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetUptime(0, &s, &ms, &op); }, "UG000000A8000000005\r"),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_EQ(op, 5u);    // read before the failing field
  EXPECT_EQ(ms, 0x80);  // stored as read, not yet converted
  EXPECT_EQ(s, 1u);
  EXPECT_TRUE(Traced("COM_KESTRAVO_GetUptime: Wrong argument Seconds received:Data read: 'G000000A\\x00"));

  uint8_t active[126], valid[126];
  std::string list = "W6" + std::string(62, '0') + "\r";
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetConfigList(0, active, valid); }, list), 0);
  EXPECT_EQ(active[0], 0);
  EXPECT_EQ(valid[0], 1);
  EXPECT_EQ(active[1], 1);
  EXPECT_EQ(valid[1], 0);
  list = "W6a" + std::string(61, '0') + "\r";
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetConfigList(0, active, valid); }, list),
            COM_KESTRAVO_WRONG_ARGUMENT);
}

TEST_F(DeviceTest, ProductIdentificationNeverRunsPastTheCallersBuffer) {
  char id[COM_KESTRAVO_PRODUCT_ID_SIZE + 8];
  std::memset(id, '#', sizeof id);
  std::string text(200, 'p');
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetProductID(0, id); }, "P" + text + "\r"), 0);
  EXPECT_EQ(std::strlen(id), 83u);
  EXPECT_EQ(id[84], '#');
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_GetProductID(0, id); }, "PPG4\r"), 0);
  EXPECT_STREQ(id, "PG4");
}

TEST_F(DeviceTest, ShortRepliesToStoreCommandsOnlyCountWhenAllDataArrived) {
  // Only the echo letter: nothing of the data arrived, so nothing was checked.
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SaveCurrentConfig(0, 3); }, "J"), COM_KESTRAVO_RECEIVE_DATA_FAILED);
  // The data without its carriage return: taken as it is.
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SaveCurrentConfig(0, 3); }, "J03"), 0);
  EXPECT_EQ(COM_KESTRAVO_GetInterfaceState(0), 0);
  // Part of the data and the carriage return.
  EXPECT_EQ(Run([] { return COM_KESTRAVO_LoadCurrentConfig(0, 3); }, "j0\r"),
            COM_KESTRAVO_RECEIVE_DATA_FAILED);
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SaveCurrentConfig(0, 3); }, "J04\r"), COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(
      Traced("COM_KESTRAVO_SaveCurrentConfig: Wrong argument received: ConfigNumber=3 expected, 4 read\n"));
  static const uint8_t kData[2] = {1, 2};
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetMemoryData(0, 0, 2, kData); }, "Y000"),
            COM_KESTRAVO_RECEIVE_DATA_FAILED);
  EXPECT_EQ(Run([] { return COM_KESTRAVO_SetMemoryData(0, 0, 2, kData); }, "Y00000020102"), 0);
}

TEST_F(DeviceTest, BlockComparisonsRunFromTheLastByte) {
  uint8_t block[75];
  for (int i = 0; i < 75; ++i) block[i] = uint8_t(i);
  auto reply_of = [&](std::initializer_list<int> changed) {
    std::string s = "a";
    char pair[3];
    for (int i = 0; i < 75; ++i) {
      uint8_t v = block[i];
      for (int c : changed)
        if (c == i) v ^= 0x80;
      std::snprintf(pair, sizeof pair, "%02X", v);
      s += pair;
    }
    return s + "\r";
  };
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_SetCurrentConfig(0, block); }, reply_of({0})),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(
      Traced("COM_KESTRAVO_SetCurrentConfig: Wrong argument received: Data[0]=0 expected, 128 read\n"));
  EXPECT_EQ(Run([&] { return COM_KESTRAVO_SetCurrentConfig(0, block); }, reply_of({3, 70})),
            COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced("Data[70]=70 expected, 198 read\n"));
  EXPECT_FALSE(Traced("Data[3]="));
}

TEST_F(DeviceTest, LinkTestReportsEveryDifferingCharacter) {
  EXPECT_EQ(Run([] { return COM_KESTRAVO_Test(0, "abc"); }, "@abd\r"), COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced("COM_KESTRAVO_Test: Wrong data received: Data[2]=63 expected, 64 read\n"));
  EXPECT_EQ(Run([] { return COM_KESTRAVO_Test(0, "A"); }, "@\xE9\r"), COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_TRUE(Traced("Data[0]=41 expected, E9 read\n"));
  EXPECT_EQ(Run([] { return COM_KESTRAVO_Test(0, "a\\b"); }, "@a\\b\r"), 0);
  EXPECT_TRUE(Traced("COM_KESTRAVO_Test: Testing finished OK, Size: 3 bytes\nData: 'a\\\\b'\n"));
}

// Every setting written through the library reads back the same, and shows in the block.
TEST_F(LinkTest, SettingsRoundTripThroughTheSimulatedDevice) {
  NewSim(6);
  OpenSlot(0, 6);
  uint32_t v32 = 0;
  uint8_t v8 = 0, v8b = 0;
  int32_t flag = 0;

  EXPECT_EQ(COM_KESTRAVO_SetOscillatorPeriod(0, 0xDEADBEEF), 0);
  EXPECT_EQ(COM_KESTRAVO_GetOscillatorPeriod(0, &v32), 0);
  EXPECT_EQ(v32, 0xDEADBEEFu);
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(COM_KESTRAVO_SetPulserDelay(0, i, 1000 + i), 0);
    EXPECT_EQ(COM_KESTRAVO_GetPulserDelay(0, i, &v32), 0);
    EXPECT_EQ(v32, 1000 + i);
    EXPECT_EQ(COM_KESTRAVO_SetPulserWidth(0, i, 50 * i), 0);
    EXPECT_EQ(COM_KESTRAVO_GetPulserWidth(0, i, &v32), 0);
    EXPECT_EQ(v32, 50 * i);
    EXPECT_EQ(COM_KESTRAVO_SetSwitchTriggerConfig(0, i, 0x20 + i), 0);
    EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerConfig(0, i, &v8), 0);
    EXPECT_EQ(v8, 0x20 + i);
    EXPECT_EQ(COM_KESTRAVO_SetSwitchEnableConfig(0, i, 3 + i), 0);
    EXPECT_EQ(COM_KESTRAVO_GetSwitchEnableConfig(0, i, &v8), 0);
    EXPECT_EQ(v8, 3 + i);
    EXPECT_EQ(COM_KESTRAVO_SetSwitchTriggerDelay(0, i, i, 15 - i), 0);
    EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerDelay(0, i, &v8, &v8b), 0);
    EXPECT_EQ(v8, i);
    EXPECT_EQ(v8b, 15 - i);
    EXPECT_EQ(COM_KESTRAVO_SetSwitchEnableDelay(0, i, 7), 0);
    EXPECT_EQ(COM_KESTRAVO_GetSwitchEnableDelay(0, i, &v8), 0);
    EXPECT_EQ(v8, 7);
  }
  for (uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(COM_KESTRAVO_SetPulserBurst(0, i, 0xABCDEF), 0);
    EXPECT_EQ(COM_KESTRAVO_GetPulserBurst(0, i, &v32), 0);
    EXPECT_EQ(v32, 0xABCDEFu);
  }
  for (uint32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(COM_KESTRAVO_SetPulserConfig(0, i, 0x20 | (10 + i)), 0);
    EXPECT_EQ(COM_KESTRAVO_GetPulserConfig(0, i, &v8), 0);
    EXPECT_EQ(v8, 0x20 | (10 + i));
  }
  for (uint32_t m = 0; m < 5; ++m) {
    EXPECT_EQ(COM_KESTRAVO_SetSwitchTriggerMapping(0, m, 15 - m), 0);
    EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerMapping(0, m, &v8), 0);
    EXPECT_EQ(v8, 15 - m);
    EXPECT_EQ(COM_KESTRAVO_SetSwitchEnableMapping(0, m, m), 0);
    EXPECT_EQ(COM_KESTRAVO_GetSwitchEnableMapping(0, m, &v8), 0);
    EXPECT_EQ(v8, m);
  }
  for (uint32_t j = 0; j < 7; ++j) {
    EXPECT_EQ(COM_KESTRAVO_SetOutputConfig(0, j, 18 + (j % 2)), 0);
    EXPECT_EQ(COM_KESTRAVO_GetOutputConfig(0, j, &v8), 0);
    EXPECT_EQ(v8, 18 + (j % 2));
  }
  EXPECT_EQ(COM_KESTRAVO_SetSwitchTriggerMappingEnable(0, 1), 0);
  EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerMappingEnable(0, &v8), 0);
  EXPECT_EQ(v8, 1);
  EXPECT_EQ(COM_KESTRAVO_SetSwitchEnableMappingEnable(0, 0), 0);
  EXPECT_EQ(COM_KESTRAVO_GetSwitchEnableMappingEnable(0, &v8), 0);
  EXPECT_EQ(v8, 0);
  EXPECT_EQ(COM_KESTRAVO_SetInputConfig(0, 0x41, 0x06), 0);
  EXPECT_EQ(COM_KESTRAVO_GetInputConfig(0, &v8, &v8b), 0);
  EXPECT_EQ(v8, 0x41);
  EXPECT_EQ(v8b, 0x06);
  EXPECT_EQ(COM_KESTRAVO_SetDeviceEnable(0, 0), 0);
  EXPECT_EQ(COM_KESTRAVO_GetDeviceEnable(0, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(COM_KESTRAVO_SetControllerConfig(0, 0x1F), 0);
  uint16_t state = 0;
  EXPECT_EQ(COM_KESTRAVO_GetControllerState(0, &state), 0);
  EXPECT_EQ(state & 0xFF, 0x1F);

  // The block shows what the single settings wrote, and a block written back reads the same.
  uint8_t block[75] = {}, again[75] = {};
  EXPECT_EQ(COM_KESTRAVO_GetCurrentConfig(0, block), 0);
  EXPECT_EQ(block[67] | block[68] << 8 | block[69] << 16 | uint32_t(block[70]) << 24, 0xDEADBEEFu);
  EXPECT_EQ(block[35] | block[36] << 8, 1000);
  EXPECT_EQ(block[6], 0x41);
  EXPECT_EQ(block[0], 0x1F);
  EXPECT_EQ(COM_KESTRAVO_ResetCurrentConfig(0), 0);
  EXPECT_EQ(COM_KESTRAVO_SetCurrentConfig(0, block), 0);
  EXPECT_EQ(COM_KESTRAVO_GetCurrentConfig(0, again), 0);
  EXPECT_EQ(std::memcmp(block, again, 75), 0);
  EXPECT_EQ(COM_KESTRAVO_GetPulserDelay(0, 3, &v32), 0);
  EXPECT_EQ(v32, 1003u);

  // Stored configurations, names, flags and the list.
  EXPECT_EQ(COM_KESTRAVO_SetConfigData(0, 125, block), 0);
  EXPECT_EQ(COM_KESTRAVO_GetConfigData(0, 125, again), 0);
  EXPECT_EQ(std::memcmp(block, again, 75), 0);
  uint8_t name[52] = {'T', 'e', 's', 't'}, name_read[52];
  EXPECT_EQ(COM_KESTRAVO_SetConfigName(0, 125, name), 0);
  EXPECT_EQ(COM_KESTRAVO_GetConfigName(0, 125, name_read), 0);
  EXPECT_EQ(std::memcmp(name, name_read, 52), 0);
  EXPECT_EQ(COM_KESTRAVO_SetConfigFlags(0, 125, 0, 1), 0);
  uint8_t active = 9, valid = 9, alist[126], vlist[126];
  EXPECT_EQ(COM_KESTRAVO_GetConfigFlags(0, 125, &active, &valid), 0);
  EXPECT_EQ(active, 0);
  EXPECT_EQ(valid, 1);
  EXPECT_EQ(COM_KESTRAVO_GetConfigList(0, alist, vlist), 0);
  EXPECT_EQ(alist[125], 0);
  EXPECT_EQ(vlist[125], 1);
  EXPECT_EQ(vlist[124], 0);

  // Memory data.
  uint8_t data[128], back[128];
  for (int i = 0; i < 128; ++i) data[i] = uint8_t(i * 7);
  EXPECT_EQ(COM_KESTRAVO_SetMemoryData(0, 0x3F80, 128, data), 0);
  EXPECT_EQ(COM_KESTRAVO_UpdateMemoryData(0), 0);
  EXPECT_EQ(COM_KESTRAVO_GetMemoryData(0, 0x3F80, 128, back), 0);
  EXPECT_EQ(std::memcmp(data, back, 128), 0);
  EXPECT_EQ(COM_KESTRAVO_Test(0, "The quick brown fox"), 0);

  // Identity and monitoring.
  uint16_t w = 0;
  uint32_t product = 0;
  char id[COM_KESTRAVO_PRODUCT_ID_SIZE];
  double t[3], load, freq;
  EXPECT_EQ(COM_KESTRAVO_GetHWType(0, &w), 0);
  EXPECT_EQ(COM_KESTRAVO_GetHWVersion(0, &w), 0);
  EXPECT_EQ(COM_KESTRAVO_GetProductNo(0, &product), 0);
  EXPECT_EQ(COM_KESTRAVO_GetProductID(0, id), 0);
  EXPECT_EQ(COM_KESTRAVO_GetMainState(0, &w), 0);
  EXPECT_EQ(COM_KESTRAVO_GetDeviceState(0, &product), 0);
  EXPECT_EQ(COM_KESTRAVO_GetSensorData(0, t), 0);
  EXPECT_GT(t[0], 15.0);
  EXPECT_LT(t[0], 40.0);
  EXPECT_EQ(COM_KESTRAVO_GetCPUData(0, &load, &freq), 0);
  EXPECT_EQ(freq, 48000000.0);
}

}  // namespace
