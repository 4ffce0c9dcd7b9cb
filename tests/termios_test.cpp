// The termios backend against a pseudo-terminal pair: the data path, the time-outs, and what a
// pseudo-terminal lacks (modem lines, parity) standing in as a null-modem loopback without parity.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "ports/kinds.h"
#include "ports/port.h"
#include "ports/termios_line.h"
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
  std::unique_ptr<ports::SerialDevice> OpenRaw() {
    auto dev = ports::OpenSystemDevice(path_);
    ports::PortConfig s;
    s.parity = ports::kNoParity;
    ports::CommTimeouts t;
    t.ReadIntervalTimeout = 10;
    t.ReadTotalTimeoutConstant = 10;
    if (!dev || !dev->SetConfig(s) || !dev->SetTimeouts(t)) return nullptr;
    return dev;
  }

  int master_ = -1;
  std::string path_;
};

ports::PortConfig RawNoParity(uint32_t baud) {
  ports::PortConfig s;
  s.baud = baud;
  s.parity = ports::kNoParity;
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

  ports::CommTimeouts immediate;
  immediate.ReadIntervalTimeout = ports::kMaxTimeout;
  ASSERT_TRUE(dev->SetTimeouts(immediate));
  ASSERT_TRUE(dev->Read(buf, 8, got));
  EXPECT_EQ(got, 0u);
}

TEST_F(PtyTest, AnyDataRateAndTheSettingsReadBack) {
  auto dev = ports::OpenSystemDevice(path_);
  ASSERT_TRUE(dev);
  for (uint32_t baud : {9600u, 115200u, 250000u, 31250u}) {
    ASSERT_TRUE(dev->SetConfig(RawNoParity(baud))) << baud;
    ports::PortConfig s;
    ASSERT_TRUE(dev->GetConfig(s));
    EXPECT_EQ(s.baud, baud);
    EXPECT_EQ(s.data_bits, 8);
  }
}

TEST_F(PtyTest, APseudoTerminalHasLoopbackLinesAndNoParity) {
  auto dev = ports::OpenSystemDevice(path_);
  ASSERT_TRUE(dev);
  // The lines of a null-modem loopback: CTS follows RTS, DSR follows DTR, DCD on.
  uint32_t bits = 0;
  ASSERT_TRUE(dev->ModemStatus(bits));
  EXPECT_EQ(bits, ports::kMsRlsdOn);
  ASSERT_TRUE(dev->Escape(ports::kSetRts));
  ASSERT_TRUE(dev->ModemStatus(bits));
  EXPECT_EQ(bits, ports::kMsRlsdOn | ports::kMsCtsOn);
  ASSERT_TRUE(dev->Escape(ports::kSetDtr));
  ASSERT_TRUE(dev->Escape(ports::kClrRts));
  ASSERT_TRUE(dev->ModemStatus(bits));
  EXPECT_EQ(bits, ports::kMsRlsdOn | ports::kMsDsrOn);
  // Even parity is accepted on a pseudo-terminal; the line goes without it, and says so.
  ports::PortConfig even = RawNoParity(9600);
  even.parity = ports::kEvenParity;
  ASSERT_TRUE(dev->SetConfig(even));
  ports::PortConfig s;
  ASSERT_TRUE(dev->GetConfig(s));
  EXPECT_EQ(s.parity, ports::kNoParity);
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
  auto first = ports::OpenSystemDevice(path_);
  ASSERT_TRUE(first);
  EXPECT_FALSE(ports::OpenSystemDevice(path_));
  first.reset();
  EXPECT_TRUE(ports::OpenSystemDevice(path_));
}

// A pseudo-terminal keeps no parity, so the parity bits are checked where they are made.
TEST(TermiosLine, ParitySizeAndStopBitsMapToTheirFlags) {
  struct Case {
    uint8_t parity, data_bits, stop_bits;
    tcflag_t flags;
  };
  const Case cases[] = {
      {ports::kEvenParity, 8, 1, PARENB | CS8},
      {ports::kOddParity, 8, 1, PARENB | PARODD | CS8},
      {ports::kNoParity, 8, 1, CS8},
      {ports::kNoParity, 7, 2, CS7 | CSTOPB},
  };
  for (const Case& c : cases) {
    ports::PortConfig config;
    config.parity = c.parity;
    config.data_bits = c.data_bits;
    config.stop_bits = c.stop_bits;
    EXPECT_EQ(ports::TermiosLineBits(config), uint32_t(c.flags)) << int(c.parity);
    ports::PortConfig back;
    ports::FromTermiosLineBits(uint32_t(c.flags), back);
    EXPECT_EQ(back.parity, c.parity);
    EXPECT_EQ(back.data_bits, c.data_bits);
    EXPECT_EQ(back.stop_bits, c.stop_bits);
  }
}

TEST(TermiosOpen, MissingOrNonTerminalTargetsFail) {
  EXPECT_FALSE(ports::OpenSystemDevice("/nonexistent/tty"));
  EXPECT_FALSE(ports::OpenSystemDevice("/dev/null"));
}

TEST(TargetResolution, ComNumbersMapToEnvironmentOrTtyS) {
  unsetenv("KESTRAVO_COM12");
  EXPECT_EQ(ports::TargetOf(12), "/dev/ttyS11");
  setenv("KESTRAVO_COM12", "sim:state.txt", 1);
  EXPECT_EQ(ports::TargetOf(12), "sim:state.txt");
  unsetenv("KESTRAVO_COM12");
  // Each kind says why it refused, in plain words.
  setenv("KESTRAVO_COM13", "nosuchscheme", 1);
  EXPECT_FALSE(ports::OpenPort(13));
  EXPECT_STREQ(ports::LastOpenFailure(), "'nosuchscheme' names no kind of port");
  unsetenv("KESTRAVO_COM13");
  EXPECT_FALSE(ports::OpenPort(0));
  EXPECT_STREQ(ports::LastOpenFailure(), "no device has this number (COM numbers run from 1 to 255)");
  setenv("KESTRAVO_COM13", "/nonexistent/tty", 1);
  EXPECT_FALSE(ports::OpenPort(13));
  EXPECT_STREQ(ports::LastOpenFailure(), "/nonexistent/tty: No such file or directory");
  unsetenv("KESTRAVO_COM13");
}

}  // namespace
