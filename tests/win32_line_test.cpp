// The device control block of a Windows port: every field is set for the line, whatever the
// driver held from the last program (drivers keep a port's settings between openings).
#include <gtest/gtest.h>

#include <cstring>

#include "platform/environment.h"
#include "ports/win32_line.h"

namespace {

TEST(Win32Line, EveryFieldOfTheControlBlockIsSet) {
  for (bool lines : {false, true}) {
    DCB dcb;
    std::memset(&dcb, 0xFF, sizeof dcb);  // what another program may have left: everything on
    ports::PortConfig line;
    line.baud = 115200;
    line.data_bits = 8;
    line.parity = ports::kEvenParity;
    line.stop_bits = 1;
    ports::FillDcb(dcb, line, ports::kEvenParity, lines, lines);
    EXPECT_EQ(dcb.DCBlength, sizeof dcb);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDtrControl, lines ? unsigned(DTR_CONTROL_ENABLE) : unsigned(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fRtsControl, lines ? unsigned(RTS_CONTROL_ENABLE) : unsigned(RTS_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(dcb.fDummy2, 0u);
    EXPECT_EQ(dcb.wReserved, 0u);
    EXPECT_EQ(dcb.XonLim, 0u);
    EXPECT_EQ(dcb.XoffLim, 0u);
    EXPECT_EQ(dcb.ByteSize, 8u);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_NE(dcb.XonChar, dcb.XoffChar);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0x0D);
    EXPECT_EQ(dcb.wReserved1, 0u);
  }
  DCB dcb{};
  ports::PortConfig line;
  line.baud = 9600;
  line.data_bits = 8;
  line.stop_bits = 1;
  ports::FillDcb(dcb, line, ports::kNoParity, false, false);  // a pseudo-terminal's line under Wine
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.fParity, 0u);
}

TEST(Win32Line, LoopbackLinesOnlyUnderWineOrWhenAsked) {
  struct Case {
    bool on_wine;
    const char* variable;
    bool allowed;
  };
  const Case cases[] = {
      {true, nullptr, true}, {true, "0", true},   {false, nullptr, false},
      {false, "1", true},    {false, "0", false}, {false, "yes", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ports::LoopbackLinesAllowed(c.on_wine, c.variable), c.allowed)
        << c.on_wine << " " << (c.variable ? c.variable : "unset");
  EXPECT_TRUE(ports::RunningOnWine());  // these tests run under Wine
}

TEST(Win32Line, ComPortNamesWithOrWithoutTheirColon) {
  for (const char* name : {"COM5", "com5", "COM5:", "COM255", "COM12:", "\\\\.\\COM7"})
    EXPECT_TRUE(platform::IsSystemDevicePath(name)) << name;
  for (const char* name : {"COM0", "COM0:", "COM5::", "COM", "COM:", "COM1234", "COMX", "/dev/ttyS0", ""})
    EXPECT_FALSE(platform::IsSystemDevicePath(name)) << name;
}

}  // namespace
