// The simulated device: its answers at the byte level, the coherence of its state, its state file
// and its faults, and the library's recovery from them.
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <regex>
#include <thread>

#include "tests/support/fixture.h"
#include "tests/support/virtual_clock.h"

using namespace kestravo;
using testing_support::LinkTest;
using testing_support::ReadFile;
using testing_support::TempPath;

namespace {

// A PC end wired straight to a simulated device, talking bytes.
class SimWire : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::UseVirtualClock(true);
    device_ = std::make_shared<sim::Device>();
    std::string error;
    ASSERT_TRUE(device_->Init(error));
    port_ = ports::MakeInProcDevice(device_);
    ports::PortConfig state;
    state.baud = 9600;
    state.parity = ports::kEvenParity;
    ASSERT_TRUE(port_->SetConfig(state));
    ports::CommTimeouts t;
    t.ReadIntervalTimeout = 50;
    t.ReadTotalTimeoutConstant = 200;
    ASSERT_TRUE(port_->SetTimeouts(t));
    port_->Escape(ports::kSetDtr);
    port_->Escape(ports::kSetRts);
    platform::Sleep(10);
  }

  // Sends the command and its carriage return; returns everything up to and including the reply's.
  std::string Ask(const std::string& command) {
    uint32_t written = 0;
    std::string frame = command + "\r";
    port_->Write(frame.data(), uint32_t(frame.size()), written);
    std::string reply;
    char c = 0;
    uint32_t got = 0;
    while (port_->Read(&c, 1, got) && got == 1) {
      reply += c;
      if (c == '\r') break;
    }
    return reply;
  }

  std::shared_ptr<sim::Device> device_;
  std::unique_ptr<ports::SerialDevice> port_;
};

struct Layout {
  const char* command;
  const char* reply;  // a regular expression for the whole reply
};

TEST_F(SimWire, EveryCommandAnswersWithItsLayout) {
  const Layout layouts[] = {{"t", "t[0-9A-F]{4}\r"},
                            {"v", "v[0-9A-F]{4}\r"},
                            {"V", "V[0-9A-F]{4}\r"},
                            {"D", "D.{11}\r"},
                            {"P", "P[^\r]+\r"},
                            {"N", "N[0-9A-F]{8}\r"},
                            {"M", "M[0-9A-F]{4}\r"},
                            {"S", "S[0-9A-F]{8}\r"},
                            {"C", "C[0-9]{3}[0-9A-F]{4}\r"},
                            {"U", "U[0-9A-F]{18}\r"},
                            {"u", "u[0-9A-F]{16}\r"},
                            {"H", "H[0-9A-F]{16}\r"},
                            {"T", "T[0-9A-F]{12}\r"},
                            {"B", "B([YN]{2}[0-9A-F]{12}){3}\r"},
                            {"L", "L[YN]{3}\r"},
                            {"Z", "ZY\r"},
                            {"z", "zY\r"},
                            {"@hello", "@hello\r"},
                            {"@", "@\r"},
                            {"$", "\\$02580\r"},
                            {"s", "s[0-9A-F]{8}\r"},
                            {"d3", "d3[0-9A-F]{8}\r"},
                            {"w0", "w0[0-9A-F]{8}\r"},
                            {"b1", "b1[0-9A-F]{6}\r"},
                            {"p5", "p5[0-9A-F]{2}\r"},
                            {"e3", "e3[0-9A-F]{2}\r"},
                            {"f0", "f0[0-9A-F]{2}\r"},
                            {"g2", "g2[0-9A-F]{2}\r"},
                            {"h1", "h1[0-9A-F]\r"},
                            {"m4", "m4[0-9A-F]\r"},
                            {"n0", "n0[0-9A-F]\r"},
                            {"k", "k[YN]\r"},
                            {"l", "l[YN]\r"},
                            {"i", "i[0-9A-F]{4}\r"},
                            {"o6", "o6[0-9A-F]{2}\r"},
                            {"E", "E[YN]\r"},
                            {"c", "c[0-9A-F]{4}\r"},
                            {"cFF", "cFF\r"},
                            {"*", "\\*\r"},
                            {"a", "a[0-9A-F]{150}\r"},
                            {"K7D", "K7D[0-9A-F]{150}\r"},
                            {"A00", "A00[0-9A-F]{104}\r"},
                            {"X05", "X05[0-3]\r"},
                            {"W", "W[0-9A-F]{63}\r"},
                            {"J03", "J03\r"},
                            {"j03", "j03\r"},
                            {"Y3F80080", "Y3F80080[0-9A-F]{256}\r"},
                            {"Y0010000,", "Y0010000\r"},
                            {"Y", "Y\r"},
                            // Invalid: unknown letter, wrong length, index out of range, not hexadecimal,
                            // stored place out of range.
                            {"q", "\\?\r"},
                            {"d12", "\\?\r"},
                            {"d4", "\\?\r"},
                            {"dX", "\\?\r"},
                            {"s0000000G", "\\?\r"},
                            {"K7E", "\\?\r"},
                            {"tX", "\\?\r"},
                            {"Y3FFF002", "\\?\r"},
                            {"j05", "\\?\r"},
                            {"$1", "\\?\r"},
                            {"X054", "\\?\r"}};
  for (const Layout& l : layouts) {
    std::string reply = Ask(l.command);
    EXPECT_TRUE(std::regex_match(reply, std::regex(l.reply))) << l.command << " -> " << reply;
  }
}

TEST_F(SimWire, SettingsAndTheBlockAreOneState) {
  EXPECT_EQ(Ask("d2000003E8"), "d2000003E8\r");
  EXPECT_EQ(Ask("g1A3"), "g1A3\r");
  EXPECT_EQ(Ask("i1205"), "i1205\r");
  EXPECT_EQ(Ask("kY"), "kY\r");
  const sim::Block& b = device_->current();
  EXPECT_EQ(b[35 + 8], 0xE8);  // delay of pulser 2, little-endian
  EXPECT_EQ(b[35 + 9], 0x03);
  EXPECT_EQ(b[72], 0xA3);  // switch 1: rise in the low digit, fall in the high one
  EXPECT_EQ(b[6], 0x05);
  EXPECT_EQ(b[7], 0x12);
  EXPECT_EQ(b[31] & 0x10, 0x10);  // trigger mapping enabled: bit 20 of the group at 29

  // A block written with 'a' changes every setting.
  std::string block(150, '0');
  block.replace(2 * 67, 8, "10270000");  // period 10000
  block.replace(2 * 51, 8, "0A000000");  // width of pulser 0: 10
  EXPECT_EQ(Ask("a" + block), "a" + block + "\r");
  EXPECT_EQ(Ask("s"), "s00002710\r");
  EXPECT_EQ(Ask("w0"), "w00000000A\r");
  EXPECT_EQ(Ask("d2"), "d200000000\r");
  EXPECT_EQ(Ask("k"), "kN\r");
  EXPECT_EQ(Ask("*"), "*\r");
  EXPECT_EQ(Ask("c"), "c0507\r");  // the defaults: device, oscillator and pulsers enabled
}

TEST_F(SimWire, StoreSaveLoadNamesAndFlags) {
  EXPECT_EQ(Ask("s00000064"), "s00000064\r");
  EXPECT_EQ(Ask("J05"), "J05\r");
  EXPECT_EQ(Ask("X05"), "X053\r");
  EXPECT_EQ(Ask("W").substr(0, 4), "W00C");  // configuration 5: character 2, bits 2 and 3
  EXPECT_EQ(Ask("s00000001"), "s00000001\r");
  EXPECT_EQ(Ask("j05"), "j05\r");
  EXPECT_EQ(Ask("s"), "s00000064\r");
  std::string name = "4C61736572" + std::string(104 - 10, '0');
  EXPECT_EQ(Ask("A05" + name), "A05" + name + "\r");
  EXPECT_EQ(Ask("A05"), "A05" + name + "\r");
  EXPECT_EQ(Ask("X051"), "X051\r");
  EXPECT_EQ(device_->nv().flags[5], 1);
}

TEST_F(SimWire, MemoryIsLostAtRestartUnlessTakenOver) {
  EXPECT_EQ(Ask("Y0010002AB01"), "Y0010002AB01\r");
  EXPECT_EQ(Ask("Y0010002"), "Y0010002AB01\r");
  EXPECT_EQ(Ask("#"), "#\r");
  platform::Sleep(100);
  EXPECT_EQ(Ask("Y0010002"), "Y00100020000\r");
  EXPECT_EQ(Ask("Y0010002AB01"), "Y0010002AB01\r");
  EXPECT_EQ(Ask("Y"), "Y\r");
  EXPECT_EQ(Ask("#"), "#\r");
  platform::Sleep(100);
  EXPECT_EQ(Ask("Y0010002"), "Y0010002AB01\r");
}

TEST_F(SimWire, CtsFollowsRtsAndRtsOffResetsTheRate) {
  uint32_t bits = 0;
  port_->ModemStatus(bits);
  EXPECT_EQ(bits, ports::kMsCtsOn | ports::kMsDsrOn | ports::kMsRlsdOn);
  port_->Escape(ports::kClrRts);
  platform::Sleep(5);
  port_->ModemStatus(bits);
  EXPECT_EQ(bits & ports::kMsCtsOn, 0u);
  port_->Escape(ports::kSetRts);
  platform::Sleep(10);
  port_->ModemStatus(bits);
  EXPECT_NE(bits & ports::kMsCtsOn, 0u);
  device_->faults.off = true;
  port_->ModemStatus(bits);
  EXPECT_EQ(bits, 0u);
}

TEST_F(SimWire, RandomBytesNeitherCrashNorSilenceIt) {
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    std::string noise;
    size_t len = rng() % 300;
    for (size_t i = 0; i < len; ++i) noise += char(rng() % 256);
    uint32_t written = 0;
    port_->Write(noise.data(), uint32_t(noise.size()), written);
    port_->Write("\r", 1, written);
    platform::Sleep(500);
    char sink[4096];
    uint32_t got = 0;
    while (port_->Read(sink, sizeof sink, got) && got > 0) {
    }
    ASSERT_EQ(Ask("V"), "V0103\r") << "round " << round;
  }
}

TEST(SimState, SurvivesASecondRunAndRefusesADamagedFile) {
  testing_support::UseVirtualClock(true);
  std::string path = TempPath("nv.txt");
  std::remove(path.c_str());
  std::string error;
  {
    sim::NonVolatile nv;
    ASSERT_TRUE(sim::LoadNonVolatile(path, nv, error));  // missing: a fresh device
    nv.flags[7] = 3;
    nv.names[7][0] = 'Q';
    nv.memory[100] = 0x5A;
    ASSERT_TRUE(sim::SaveNonVolatile(path, nv));
  }
  sim::NonVolatile again;
  ASSERT_TRUE(sim::LoadNonVolatile(path, again, error)) << error;
  EXPECT_EQ(again.flags[7], 3);
  EXPECT_EQ(again.names[7][0], 'Q');
  EXPECT_EQ(again.memory[100], 0x5A);

  std::string text = ReadFile(path);
  std::string cut = text.substr(0, text.size() / 2);
  FILE* f = std::fopen(path.c_str(), "w");
  std::fwrite(cut.data(), 1, cut.size(), f);
  std::fclose(f);
  EXPECT_FALSE(sim::LoadNonVolatile(path, again, error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_EQ(ReadFile(path), cut);  // left as it was
  std::remove(path.c_str());
}

TEST(SimState, FilesThatAreDamagedOrNoFilesAreRefusedUnread) {
  const std::string path = TempPath("nv-hostile.txt");
  std::string error;
  sim::NonVolatile nv;
  ASSERT_TRUE(sim::SaveNonVolatile(path, nv));
  const std::string good = ReadFile(path);
  const size_t end = good.rfind("end\n");
  const size_t memory = good.find("memory ");
  const std::string config_line = good.substr(
      good.find("config 125 "), good.find('\n', good.find("config 125 ")) - good.find("config 125 ") + 1);
  // More places or more memory than the device has: refused before anything is written past them
  // (this wrote past the state on the stack).
  std::string extra_configs = good.substr(0, memory);
  for (int n = 126; n < 400; ++n) {
    std::string line = config_line;
    line.replace(7, 3, std::to_string(n));
    extra_configs += line;
  }
  extra_configs += good.substr(memory);
  std::string extra_memory = good.substr(0, end);
  for (int a = 16384; a < 16384 * 8; a += 64)
    extra_memory += "memory " + std::to_string(a) + " " + std::string(128, 'A') + "\n";
  extra_memory += "end\n";
  for (const std::string& bad : {extra_configs, extra_memory}) {
    FILE* f = std::fopen(path.c_str(), "w");
    std::fwrite(bad.data(), 1, bad.size(), f);
    std::fclose(f);
    EXPECT_FALSE(sim::LoadNonVolatile(path, nv, error));
    EXPECT_NE(error.find("is damaged"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), bad);
  }
  std::remove(path.c_str());

#ifndef _WIN32
  // A FIFO would block the opening, a device never end: neither is read.
  const std::string fifo = TempPath("nv-fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& p : {fifo, std::string("/dev/zero"), std::string("/dev/full")}) {
    EXPECT_FALSE(sim::LoadNonVolatile(p, nv, error)) << p;
    EXPECT_EQ(error, "the state file '" + p + "' is not a regular file");
  }
  std::remove(fifo.c_str());
#endif
}

TEST(SimState, TwoDevicesOnOneFileNeverSeeItTorn) {
  // Two writers and a reader at once: every read finds a whole file.
  const std::string path = TempPath("nv-shared.txt");
  sim::NonVolatile a, b;
  a.memory[1] = 1;
  b.memory[1] = 2;
  ASSERT_TRUE(sim::SaveNonVolatile(path, a));
  std::atomic<bool> stop{false};
  auto writer = [&](const sim::NonVolatile& nv) {
    while (!stop) sim::SaveNonVolatile(path, nv);
  };
  std::thread first(writer, std::cref(a)), second(writer, std::cref(b));
  int torn = 0;
  for (int i = 0; i < 300; ++i) {
    sim::NonVolatile read;
    std::string error;
    if (!sim::LoadNonVolatile(path, read, error) || (read.memory[1] != 1 && read.memory[1] != 2)) ++torn;
  }
  stop = true;
  first.join();
  second.join();
  EXPECT_EQ(torn, 0);
  std::remove(path.c_str());
#ifndef _WIN32
  // Nothing of the writers is left beside it.
  EXPECT_NE(std::system(
                ("ls -a '" + path.substr(0, path.rfind('/')) + "' | grep -q 'nv-shared.txt.COM-KESTRAVO-new'")
                    .c_str()),
            0);
#endif
}

TEST(SimFaults, ParseTheEnvironmentForm) {
  sim::Faults f;
  EXPECT_TRUE(sim::ParseFaults("slow=20,garble=2,cts=low,ignorebaud=1,off", f));
  EXPECT_EQ(f.slow_ms, 20u);
  EXPECT_EQ(f.garble, 2u);
  EXPECT_EQ(f.cts, 0);
  EXPECT_TRUE(f.ignore_baud_change);
  EXPECT_TRUE(f.off);
  EXPECT_FALSE(sim::ParseFaults("bogus=1", f));
  EXPECT_FALSE(sim::ParseFaults("slow=fast", f));
}

TEST_F(LinkTest, StoredStateSurvivesAReopenThroughTheLibrary) {
  std::string path = TempPath("nv-lib.txt");
  std::remove(path.c_str());
  NewSim(6, path);
  OpenSlot(0, 6);
  uint8_t name[52] = {'B', 'e', 'a', 'm'};
  EXPECT_EQ(COM_KESTRAVO_SetConfigName(0, 9, name), 0);
  EXPECT_EQ(COM_KESTRAVO_SaveCurrentConfig(0, 9), 0);
  COM_KESTRAVO_Close(0);
  NewSim(6, path);  // a second run of the device
  OpenSlot(0, 6);
  uint8_t read[52] = {};
  EXPECT_EQ(COM_KESTRAVO_GetConfigName(0, 9, read), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(read)), "Beam");
  uint8_t active = 0, valid = 0;
  EXPECT_EQ(COM_KESTRAVO_GetConfigFlags(0, 9, &active, &valid), 0);
  EXPECT_EQ(active, 1);
  EXPECT_EQ(valid, 1);
  std::remove(path.c_str());
}

struct FaultCase {
  const char* name;
  void (*inject)(sim::Faults&);
  int32_t result;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class SimFaultTest : public LinkTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SimFaultTest, PurgeBringsTheLinkBackAfterTheFault) {
  auto device = NewSim(6);
  OpenSlot(0, 6);
  GetParam().inject(device->faults);
  uint16_t fw = 0;
  EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), GetParam().result);
  EXPECT_EQ(COM_KESTRAVO_Purge(0), 0);
  EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), 0);
  EXPECT_EQ(fw, 0x0103);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimFaultTest,
    ::testing::Values(
        FaultCase{"Garbled", [](sim::Faults& f) { f.garble = 1; }, COM_KESTRAVO_WRONG_COMMAND},
        FaultCase{"Dropped", [](sim::Faults& f) { f.drop = 1; }, COM_KESTRAVO_RECEIVE_DATA_FAILED},
        FaultCase{"Extra", [](sim::Faults& f) { f.extra = 1; }, COM_KESTRAVO_RECEIVE_TERMINATION_FAILED},
        FaultCase{"NoCarriageReturn", [](sim::Faults& f) { f.nocr = 1; }, COM_KESTRAVO_RECEIVE_DATA_FAILED},
        FaultCase{"Silent", [](sim::Faults& f) { f.silent = 1; }, COM_KESTRAVO_RECEIVE_COMMAND_FAILED}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(LinkTest, RestartResetsSettingsAndKeepsTheStore) {
  auto device = NewSim(6);
  OpenSlot(0, 6);
  EXPECT_EQ(COM_KESTRAVO_SetOscillatorPeriod(0, 12345), 0);
  EXPECT_EQ(COM_KESTRAVO_SaveCurrentConfig(0, 1), 0);
  uint32_t rate = 38400;
  EXPECT_EQ(COM_KESTRAVO_SetBaudRate(0, &rate), 0);
  EXPECT_EQ(COM_KESTRAVO_Restart(0), 0);
  EXPECT_EQ(device->baud(), 9600u);
  uint32_t period = 0;
  EXPECT_EQ(COM_KESTRAVO_GetOscillatorPeriod(0, &period), 0);
  EXPECT_EQ(period, 998u);
  EXPECT_EQ(COM_KESTRAVO_LoadCurrentConfig(0, 1), 0);
  EXPECT_EQ(COM_KESTRAVO_GetOscillatorPeriod(0, &period), 0);
  EXPECT_EQ(period, 12345u);
}

TEST_F(LinkTest, ADeviceThatIsOffCannotBeOpened) {
  auto device = NewSim(6);
  device->faults.off = true;
  EXPECT_EQ(COM_KESTRAVO_Open(0, 6), COM_KESTRAVO_NOT_CONNECTED);
}

TEST_F(LinkTest, LargestMemoryBlocksRoundTripAtNineThousandSixHundredBaud) {
  auto device = NewSim(6);
  OpenSlot(0, 6);
  std::vector<uint8_t> block(4092), back(4092);
  for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 31 + 7);
  // The write returns when its 8191 characters are on the wire; the reply window starts then.
  EXPECT_EQ(COM_KESTRAVO_SetMemoryData(0, 100, 4092, block.data()), 0);
  EXPECT_EQ(COM_KESTRAVO_GetMemoryData(0, 100, 4092, back.data()), 0);
  EXPECT_EQ(back, block);
}

TEST_F(LinkTest, APurgeAfterAnAbortedLongWriteBringsTheLinkBackAtOnce) {
  auto device = NewSim(6);
  OpenSlot(0, 6);
  const std::string text(10000, 'a');  // too long for the reply to fit: the exchange fails
  EXPECT_NE(COM_KESTRAVO_Test(0, text.c_str()), 0);
  EXPECT_EQ(COM_KESTRAVO_Purge(0), 0);
  const uint64_t start = platform::TickMs();
  uint16_t fw = 0;
  EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), 0);
  EXPECT_LT(platform::TickMs() - start, 50u);  // on the virtual clock: no echo still under way
}

}  // namespace
