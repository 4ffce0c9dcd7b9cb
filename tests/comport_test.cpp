// The serial port object against scripted peers, on the virtual clock.
#include <cstdio>
#include <cstring>

#include "ports/kinds.h"
#include "tests/support/fixture.h"
#include "tests/support/virtual_clock.h"

using testing_support::AttachPeer;
using testing_support::DetachCom;
using testing_support::ScriptedPeer;

namespace {

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::UseVirtualClock(true);
    trace_ = std::tmpfile();
    port_.DebugFile = trace_;
    peer_ = std::make_shared<ScriptedPeer>();
    AttachPeer(3, peer_);
  }
  void TearDown() override {
    port_.DebugFile = nullptr;
    port_.Close();
    std::fclose(trace_);
  }
  std::string Trace() {
    std::fflush(trace_);
    std::rewind(trace_);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, trace_)) > 0) s.append(buf, n);
    return s;
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }

  COMPort port_;
  FILE* trace_ = nullptr;
  std::shared_ptr<ScriptedPeer> peer_;
};

TEST_F(ComPortTest, NewObjectIsClosedWithCodeOne) {
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(port_.Error, 1);
  EXPECT_STREQ(port_.ErrorMessage(), "Port has not been opened yet");
  EXPECT_EQ(port_.ReadyTimeout, 0u);
}

TEST_F(ComPortTest, OpenSetsLinesAndRateAndRefusesASecondOpen) {
  ASSERT_TRUE(port_.Open(3));
  EXPECT_EQ(port_.Error, 0);
  EXPECT_EQ(port_.ReadyTimeout, 1000u);
  EXPECT_EQ(peer_->events, (std::vector<std::string>{"RTS=1", "DTR=1"}));
  ports::PortConfig state;
  ASSERT_TRUE(port_.Handle->GetConfig(state));
  EXPECT_EQ(state.baud, 9600u);
  EXPECT_EQ(state.parity, ports::kEvenParity);
  EXPECT_EQ(state.data_bits, 8);
  EXPECT_EQ(state.stop_bits, 1);

  EXPECT_FALSE(port_.Open(3));
  EXPECT_EQ(port_.Error, 2);
  EXPECT_NE(Trace().find("COMPort::Open: The port is already open\n"), std::string::npos);
  // The first connection is untouched.
  peer_->replies.push_back("V0103\r");
  ASSERT_TRUE(port_.Write(reinterpret_cast<const uint8_t*>("V\r"), 2));
  uint8_t reply[8] = {};
  uint32_t count = 6;
  ASSERT_TRUE(port_.Read(reply, count, false, true));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), count), "V0103\r");
}

TEST_F(ComPortTest, OpenOfAMissingDeviceTracesBothLinesInOrder) {
  DetachCom(4);
  EXPECT_FALSE(port_.Open(4));
  EXPECT_EQ(port_.Error, 2);
  std::string t = Trace();
  size_t a = t.find("COMPort::CheckCOMError: Cannot obtain communication error\n");
  size_t b = t.find("COMPort::Open: Cannot open the port \\\\.\\COM4\n");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  EXPECT_LT(a, b);
}

TEST_F(ComPortTest, CloseOfAClosedPortKeepsCodeOne) {
  EXPECT_FALSE(port_.Close());
  EXPECT_EQ(port_.Error, 1);
  EXPECT_NE(Trace().find("COMPort::Close: Port handle is invalid\n"), std::string::npos);
  ASSERT_TRUE(port_.Open(3));
  ASSERT_TRUE(port_.Close());
  EXPECT_EQ(port_.Error, 0);
  EXPECT_EQ(peer_->events, (std::vector<std::string>{"RTS=1", "DTR=1", "RTS=0", "DTR=0", "CLOSED"}));
}

TEST_F(ComPortTest, CharacterReadWithNothingToReadGivesUpAfterOneHundredRepeats) {
  ASSERT_TRUE(port_.Open(3));
  platform::Sleep(10);  // CTS follows RTS
  uint32_t start = platform::GetTickCount();
  uint8_t byte = 0;
  EXPECT_FALSE(port_.Read(byte, false));
  EXPECT_EQ(port_.Error, 11);
  std::string t = Trace();
  EXPECT_EQ(Count(t, "repeating the operation #"), 100u);
  EXPECT_NE(t.find("repeating the operation #1, data read so far: 0, expected: 1\n"), std::string::npos);
  EXPECT_NE(t.find("repeating the operation #100, data read so far: 0, expected: 1\n"), std::string::npos);
  EXPECT_NE(t.find("COMPort::Read-char:ReadFile: Could not read the character from the port\n"),
            std::string::npos);
  uint32_t elapsed = platform::GetTickCount() - start;
  EXPECT_GE(elapsed, 1400u);  // about 1.5 s of virtual time
  EXPECT_LE(elapsed, 1700u);
}

TEST_F(ComPortTest, CharacterReadWaitsForCtsAThousandPolls) {
  peer_->cts = ScriptedPeer::Cts::kOff;
  ASSERT_TRUE(port_.Open(3));
  uint8_t byte = 0;
  EXPECT_FALSE(port_.Read(byte, false));
  EXPECT_EQ(port_.Error, 16);
  std::string t = Trace();
  EXPECT_EQ(Count(t, "COMPort::DeviceReady:Status: Device not ready (CTS inactive)\n"), 1000u);
  EXPECT_NE(t.find("COMPort::Read-char: Device not ready\n"), std::string::npos);
}

TEST_F(ComPortTest, ArrayReadStopsAtCarriageReturn) {
  ASSERT_TRUE(port_.Open(3));
  platform::Sleep(10);
  peer_->Send("ab\rcd");
  uint8_t dest[11] = {};
  uint32_t count = 10;
  ASSERT_TRUE(port_.Read(dest, count, false, true));
  // Bytes that arrive in the same read stay held for the next one.
  ASSERT_GE(count, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(dest), 3), "ab\r");
  EXPECT_LT(count, 10u);
  EXPECT_EQ(dest[count], 0);
}

TEST_F(ComPortTest, ControlChangesRtsBeforeDtr) {
  ASSERT_TRUE(port_.Open(3));
  peer_->events.clear();
  ASSERT_TRUE(port_.Control(true, false));
  EXPECT_EQ(peer_->events, (std::vector<std::string>{"RTS=0"}));
  ASSERT_TRUE(port_.Control(false, true));
  EXPECT_EQ(peer_->events, (std::vector<std::string>{"RTS=0", "RTS=1", "DTR=0"}));
}

TEST_F(ComPortTest, FramingErrorIsTracedAfterTheLabel) {
  ASSERT_TRUE(port_.Open(3));
  platform::Sleep(10);
  peer_->Send("x", ports::kCeFrame);
  uint8_t byte = 0;
  ASSERT_TRUE(port_.Read(byte, false));
  EXPECT_EQ(byte, 'x');  // a character with an error still reaches the reader
  std::string t = Trace();
  size_t at = t.find("COMPort::ReadFile:ReadFile: \n");
  ASSERT_NE(at, std::string::npos) << t;
  size_t line = t.find("CommError = 00000008: framing\n", at);
  EXPECT_NE(line, std::string::npos) << t;
}

TEST_F(ComPortTest, DataRateMismatchArrivesGarbledWithFramingErrors) {
  ASSERT_TRUE(port_.Open(3));
  platform::Sleep(10);
  peer_->Send("Z", 0, 19200);
  uint8_t byte = 0;
  ASSERT_TRUE(port_.Read(byte, false));
  EXPECT_NE(byte, 'Z');
  EXPECT_NE(Trace().find(" framing"), std::string::npos);
}

TEST_F(ComPortTest, WriteOnAClosedPortFailsWithCodeTwelve) {
  EXPECT_FALSE(port_.Write(uint8_t('a')));
  EXPECT_EQ(port_.Error, 12);
  EXPECT_FALSE(port_.Write(reinterpret_cast<const uint8_t*>("ab"), 2));
  EXPECT_EQ(port_.Error, 12);
}

TEST_F(ComPortTest, SendSyncSendsBreakThenSyncByteWithoutParity) {
  ASSERT_TRUE(port_.Open(3));
  peer_->events.clear();
  ASSERT_TRUE(port_.SendSync(13));
  EXPECT_EQ(peer_->events, (std::vector<std::string>{"BREAK=1", "BREAK=0"}));
  EXPECT_EQ(peer_->received, "\x55");
  ports::PortConfig state;
  ASSERT_TRUE(port_.Handle->GetConfig(state));
  EXPECT_EQ(state.parity, ports::kEvenParity);
  EXPECT_TRUE(port_.WaitWriteBufferEmpty());
}

TEST_F(ComPortTest, EscapedTraceText) {
  const uint8_t bytes[] = {'a', '\\', 0x0D, 0xE9, 'z'};
  port_.WriteEscaped(bytes, sizeof bytes);
  EXPECT_EQ(Trace(), "a\\\\\\x0D\\xE9z");
}

TEST_F(ComPortTest, TimeStampIsTheDateLine) {
  port_.WriteTimeStamp();
  std::string t = Trace();
  // "\nMon Dec 07 04:25:48 2026\n"
  ASSERT_EQ(t.size(), 26u) << t;
  EXPECT_EQ(t[0], '\n');
  EXPECT_EQ(t[4], ' ');
  EXPECT_EQ(t[8], ' ');
  EXPECT_EQ(t[11], ' ');
  EXPECT_EQ(t[14], ':');
  EXPECT_EQ(t[20], ' ');
  EXPECT_EQ(t.back(), '\n');
}

}  // namespace

namespace {

// A port that keeps parity at 9600 baud and gives it up at any other rate, as some drivers do.
class ParityLosingDevice final : public ports::SerialDevice {
 public:
  bool GetConfig(ports::PortConfig& config) override {
    config = config_;
    return true;
  }
  bool SetConfig(const ports::PortConfig& config) override {
    config_ = config;
    dropped_ = config.baud != 9600 && config.parity != ports::kNoParity;
    return true;
  }
  bool SetTimeouts(const ports::CommTimeouts&) override { return true; }
  bool Purge(uint32_t) override { return true; }
  bool ClearError(uint32_t& errors) override {
    errors = 0;
    return true;
  }
  bool Escape(uint32_t) override { return true; }
  bool ModemStatus(uint32_t& bits) override {
    bits = 0;
    return true;
  }
  bool Read(void*, uint32_t, uint32_t& got) override {
    got = 0;
    return true;
  }
  bool Write(const void*, uint32_t count, uint32_t& written) override {
    written = count;
    return true;
  }
  bool SetBreak() override { return true; }
  bool ClearBreak() override { return true; }
  bool WaitEvent(uint32_t& mask) override {
    mask = 0;
    return true;
  }
  bool WaitForData(uint32_t) override { return true; }
  const char* Notice() const override {
    return dropped_ ? "a port that runs without parity at this rate" : "a port with notices";
  }
  bool Close() override { return true; }

 private:
  ports::PortConfig config_;
  bool dropped_ = false;
};

TEST_F(ComPortTest, ANoticeIsTracedWhenThePortGivesSomethingUp) {
  ports::RegisterKind("parity-losing",
                      [](const std::string&) { return std::make_unique<ParityLosingDevice>(); });
  ASSERT_TRUE(port_.OpenNamed("parity-losing"));
  EXPECT_EQ(Count(Trace(), "COMPort::Open: a port with notices\n"), 1u) << Trace();
  ASSERT_TRUE(port_.SetBaudRate(115200));
  EXPECT_EQ(Count(Trace(), "COMPort::SetBaudRate: a port that runs without parity at this rate\n"), 1u)
      << Trace();
  ASSERT_TRUE(port_.SetBaudRate(57600));  // nothing new to say
  ASSERT_TRUE(port_.SetBaudRate(9600));
  EXPECT_EQ(Count(Trace(), "COMPort::SetBaudRate: a port with notices\n"), 1u) << Trace();
  EXPECT_EQ(Count(Trace(), "without parity"), 1u) << Trace();
}

}  // namespace
