// The termios backend against a pseudo-terminal pair: the data path, the time-outs, and what a
// pseudo-terminal lacks (modem lines, parity) standing in as a null-modem loopback without parity.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/serial_device.h"
#include "serial/COMPort.h"

namespace {

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    path_ = ptsname(master_);
  }
  void TearDown() override { close(master_); }

  std::string ReadMaster(size_t want) {
    std::string s;
    while (s.size() < want) {
      pollfd pfd{master_, POLLIN, 0};
      if (poll(&pfd, 1, 2000) <= 0) break;
      char buf[256];
      ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) break;
      s.append(buf, size_t(n));
    }
    return s;
  }

  // The slave end, raw at 9600 baud without parity, with the port object's 10 ms time-outs.
  std::unique_ptr<platform::SerialDevice> OpenRaw() {
    auto dev = platform::OpenTermiosDevice(path_);
    platform::CommState s;
    s.Parity = platform::kNoParity;
    platform::CommTimeouts t;
    t.ReadIntervalTimeout = 10;
    t.ReadTotalTimeoutConstant = 10;
    if (!dev || !dev->SetState(s) || !dev->SetTimeouts(t)) return nullptr;
    return dev;
  }

  int master_ = -1;
  std::string path_;
};

platform::CommState RawNoParity(uint32_t baud) {
  platform::CommState s;
  s.BaudRate = baud;
  s.Parity = platform::kNoParity;
  return s;
}

TEST_F(PtyTest, DataPathBothWays) {
  auto dev = OpenRaw();
  ASSERT_TRUE(dev);

  uint32_t written = 0;
  ASSERT_TRUE(dev->Write("V\r", 2, written));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(ReadMaster(2), "V\r");  // raw: no CR to LF translation

  const char reply[] = "V0103\r\xFF";
  ASSERT_EQ(write(master_, reply, 7), 7);
  char buf[16] = {};
  uint32_t got = 0, total = 0;
  for (int i = 0; i < 200 && total < 7; ++i) {
    ASSERT_TRUE(dev->Read(buf + total, 7 - total, got));
    total += got;
  }
  EXPECT_EQ(std::string(buf, total), std::string(reply, 7));
}

TEST_F(PtyTest, ReadTimeOutsReturnWithWhatHasArrived) {
  auto dev = OpenRaw();
  ASSERT_TRUE(dev);
  char buf[8];
  uint32_t got = 99;
  ASSERT_TRUE(dev->Read(buf, 8, got));  // nothing there: returns after the total time-out
  EXPECT_EQ(got, 0u);

  ASSERT_EQ(write(master_, "ab", 2), 2);
  // Fewer than wanted: each read returns with what has arrived (the pseudo-terminal may hand the
  // bytes over a little later on a busy machine).
  std::string arrived;
  for (int i = 0; i < 200 && arrived.size() < 2; ++i) {
    ASSERT_TRUE(dev->Read(buf, 8, got));
    arrived.append(buf, got);
  }
  EXPECT_EQ(arrived, "ab");

  platform::CommTimeouts immediate;
  immediate.ReadIntervalTimeout = platform::kMaxTimeout;
  ASSERT_TRUE(dev->SetTimeouts(immediate));
  ASSERT_TRUE(dev->Read(buf, 8, got));
  EXPECT_EQ(got, 0u);
}

TEST_F(PtyTest, AnyDataRateAndTheSettingsReadBack) {
  auto dev = platform::OpenTermiosDevice(path_);
  ASSERT_TRUE(dev);
  for (uint32_t baud : {9600u, 115200u, 250000u, 31250u}) {
    ASSERT_TRUE(dev->SetState(RawNoParity(baud))) << baud;
    platform::CommState s;
    ASSERT_TRUE(dev->GetState(s));
    EXPECT_EQ(s.BaudRate, baud);
    EXPECT_EQ(s.ByteSize, 8);
  }
}

TEST_F(PtyTest, APseudoTerminalHasLoopbackLinesAndNoParity) {
  auto dev = platform::OpenTermiosDevice(path_);
  ASSERT_TRUE(dev);
  // The lines of a null-modem loopback: CTS follows RTS, DSR follows DTR, DCD on.
  uint32_t bits = 0;
  ASSERT_TRUE(dev->ModemStatus(bits));
  EXPECT_EQ(bits, platform::kMsRlsdOn);
  ASSERT_TRUE(dev->Escape(platform::kSetRts));
  ASSERT_TRUE(dev->ModemStatus(bits));
  EXPECT_EQ(bits, platform::kMsRlsdOn | platform::kMsCtsOn);
  ASSERT_TRUE(dev->Escape(platform::kSetDtr));
  ASSERT_TRUE(dev->Escape(platform::kClrRts));
  ASSERT_TRUE(dev->ModemStatus(bits));
  EXPECT_EQ(bits, platform::kMsRlsdOn | platform::kMsDsrOn);
  // Even parity is accepted on a pseudo-terminal; the line goes without it, and says so.
  platform::CommState even = RawNoParity(9600);
  even.fParity = true;
  even.Parity = platform::kEvenParity;
  ASSERT_TRUE(dev->SetState(even));
  platform::CommState s;
  ASSERT_TRUE(dev->GetState(s));
  EXPECT_EQ(s.Parity, platform::kNoParity);
  ASSERT_NE(dev->Notice(), nullptr);
  EXPECT_NE(std::string(dev->Notice()).find("null-modem loopback"), std::string::npos);
}

TEST_F(PtyTest, PortObjectOpensAPseudoTerminalAndSaysHowOnce) {
  setenv("KESTRAVO_COM7", path_.c_str(), 1);
  const std::string trace = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                            "/kestravo-pty-trace-" + std::to_string(getpid()) + ".txt";
  COMPort port;
  port.DebugFile = std::fopen(trace.c_str(), "w");
  ASSERT_TRUE(port.Open(7));
  EXPECT_EQ(port.Error, 0);
  EXPECT_TRUE(port.Close());
  std::fclose(port.DebugFile);
  port.DebugFile = nullptr;
  FILE* f = std::fopen(trace.c_str(), "r");
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += char(c);
  std::fclose(f);
  std::remove(trace.c_str());
  const size_t first = text.find("null-modem loopback");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find("null-modem loopback", first + 1), std::string::npos);
  unsetenv("KESTRAVO_COM7");
}

TEST_F(PtyTest, SecondOpenOfABusyPortFails) {
  auto first = platform::OpenTermiosDevice(path_);
  ASSERT_TRUE(first);
  EXPECT_FALSE(platform::OpenTermiosDevice(path_));
  first.reset();
  EXPECT_TRUE(platform::OpenTermiosDevice(path_));
}

TEST(TermiosOpen, MissingOrNonTerminalTargetsFail) {
  EXPECT_FALSE(platform::OpenTermiosDevice("/nonexistent/tty"));
  EXPECT_FALSE(platform::OpenTermiosDevice("/dev/null"));
}

TEST(TargetResolution, ComNumbersMapToEnvironmentOrTtyS) {
  unsetenv("KESTRAVO_COM12");
  EXPECT_EQ(platform::ResolveTarget("\\\\.\\COM12"), "/dev/ttyS11");
  setenv("KESTRAVO_COM12", "sim:state.txt", 1);
  EXPECT_EQ(platform::ResolveTarget("\\\\.\\COM12"), "sim:state.txt");
  unsetenv("KESTRAVO_COM12");
  EXPECT_EQ(platform::ResolveTarget("COM12"), "");
  setenv("KESTRAVO_COM13", "nosuchscheme", 1);
  EXPECT_FALSE(platform::OpenSerialDevice("\\\\.\\COM13"));
  unsetenv("KESTRAVO_COM13");
}

}  // namespace
