// Port slots, the command frame and link supervision, against scripted peers on the virtual clock.
#include <cstring>

#include "platform/tcp.h"
#include "tests/support/fixture.h"

using namespace kestravo;
using testing_support::LinkTest;
using testing_support::ScriptedPeer;

namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST_F(LinkTest, PortNumberSixteenChangesNoSlot) {
  for (uint16_t i = 0; i < kSlots; ++i) InterfaceState[i] = -7;
  EXPECT_EQ(COM_KESTRAVO_Open(16, 5), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_EQ(COM_KESTRAVO_Close(16), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_EQ(COM_KESTRAVO_Purge(16), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_EQ(COM_KESTRAVO_GetInterfaceState(16), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_EQ(COM_KESTRAVO_GetIOState(16), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_STREQ(COM_KESTRAVO_GetErrorMessage(16), "PortNumber out of range");
  EXPECT_STREQ(COM_KESTRAVO_GetIOErrorMessage(16), "PortNumber out of range");
  for (uint16_t i = 0; i < kSlots; ++i)
    EXPECT_EQ(COM_KESTRAVO_GetInterfaceState(i), COM_KESTRAVO_SEND_COMMAND_FAILED);
}

TEST_F(LinkTest, ResultTextsAndVersion) {
  EXPECT_EQ(COM_KESTRAVO_GetSWVersion(), 0x0100);
  const std::pair<int32_t, const char*> texts[] = {
      {COM_KESTRAVO_OK, "No error"},
      {COM_KESTRAVO_SEND_COMMAND_FAILED, "Error sending command"},
      {COM_KESTRAVO_BAUD_RATE_FAILED, "Error setting the baud rate"},
      {COM_KESTRAVO_STILL_READY, "Device state could not be set to not ready"},
      {COM_KESTRAVO_DEBUG_CLOSE_FAILED, "Error closing the file for debugging output"},
      {-17, "Unknown error"},  // no code has this value
      {5, "Unknown error"}};
  for (auto [code, text] : texts) {
    InterfaceState[3] = code;
    EXPECT_STREQ(COM_KESTRAVO_GetErrorMessage(3), text) << code;
  }
}

TEST_F(LinkTest, UnopenedSlotFailsAtItsFirstWrite) {
  int32_t empty = 0;
  EXPECT_EQ(COM_KESTRAVO_GetBufferState(2, &empty), COM_KESTRAVO_SEND_COMMAND_FAILED);
  EXPECT_EQ(COM_KESTRAVO_GetInterfaceState(2), COM_KESTRAVO_SEND_COMMAND_FAILED);
  EXPECT_EQ(COM_KESTRAVO_GetIOState(2), 12);
  EXPECT_EQ(COM_KESTRAVO_Close(2), COM_KESTRAVO_CLOSE_FAILED);
  EXPECT_EQ(COM_KESTRAVO_GetIOState(2), 1);
  EXPECT_STREQ(COM_KESTRAVO_GetIOErrorMessage(2), "Port has not been opened yet");
}

TEST_F(LinkTest, OpenRepairsOnceAndCloseLeavesCodeZero) {
  auto peer = NewPeer();
  ASSERT_EQ(COM_KESTRAVO_Open(0, 5), 0);
  EXPECT_EQ(peer->frames, std::vector<std::string>{"z"});
  EXPECT_EQ(peer->events, (std::vector<std::string>{"RTS=1", "DTR=1", "RTS=0", "RTS=1"}));
  EXPECT_EQ(COM_KESTRAVO_Close(0), 0);
  EXPECT_EQ(COM_KESTRAVO_GetIOState(0), 0);
  EXPECT_EQ(peer->events.back(), "CLOSED");
}

TEST_F(LinkTest, MissingComDeviceFailsWithTraceInOrder) {
  StartTrace(0);
  EXPECT_EQ(COM_KESTRAVO_Open(0, 9), COM_KESTRAVO_OPEN_FAILED);
  EXPECT_EQ(COM_KESTRAVO_GetIOState(0), 2);
  std::string t = Trace();
  const char* order[] = {"COM_KESTRAVO_Open: PortNumber=0, ComNumber=9\n",
                         "COMPort::CheckCOMError: Cannot obtain communication error\n",
                         "COMPort::Open: Cannot open the port \\\\.\\COM9\n",
                         "COM_Open: Error opening the port as COM9\n"};
  size_t at = 0;
  for (const char* line : order) {
    size_t next = t.find(line, at);
    ASSERT_NE(next, std::string::npos) << line << "\n" << t;
    at = next;
  }
}

TEST_F(LinkTest, DsrNeverActiveGivesUpAfterFiveRepairsWithThePortOpen) {
  auto peer = NewPeer();
  peer->dsr = false;
  StartTrace(0);
  uint32_t start = platform::GetTickCount();
  EXPECT_EQ(COM_KESTRAVO_Open(0, 5), COM_KESTRAVO_NOT_CONNECTED);
  uint32_t elapsed = platform::GetTickCount() - start;
  EXPECT_GE(elapsed, 7400u);
  EXPECT_LE(elapsed, 7700u);
  EXPECT_TRUE(Ports[0].IsOpen());
  EXPECT_EQ(Count(Trace(), "COM_KESTRAVO_Purge: Device not connected - DSR=N, DCD=Y\n"), 5u);
  EXPECT_EQ(peer->dtr, true);
  EXPECT_EQ(peer->rts, false);  // reset requested: RTS stays off after -100
}

TEST_F(LinkTest, SecondOpenOfAnOpenSlotFailsAndTheFirstKeepsWorking) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  EXPECT_EQ(COM_KESTRAVO_Open(0, 5), COM_KESTRAVO_OPEN_FAILED);
  EXPECT_EQ(COM_KESTRAVO_GetIOState(0), 2);
  int32_t purged = 0;
  EXPECT_EQ(COM_KESTRAVO_DevicePurge(0, &purged), 0);
  EXPECT_EQ(purged, 1);
}

TEST_F(LinkTest, DeviceThatKeepsCtsOnMakesPurgeFailWithLinesBackOn) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  peer->cts = ScriptedPeer::Cts::kOn;
  StartTrace(0);
  uint32_t start = platform::GetTickCount();
  EXPECT_EQ(COM_KESTRAVO_Purge(0), COM_KESTRAVO_STILL_READY);
  uint32_t elapsed = platform::GetTickCount() - start;
  EXPECT_GE(elapsed, 1090u);
  EXPECT_LE(elapsed, 1150u);
  EXPECT_TRUE(peer->dtr);
  EXPECT_TRUE(peer->rts);
  EXPECT_NE(Trace().find("COM_KESTRAVO_Purge: Device state could not be set to not ready\n"),
            std::string::npos);
}

TEST_F(LinkTest, PurgeWithTheDeviceOffLeavesRtsOff) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  peer->dsr = false;
  StartTrace(0);
  EXPECT_EQ(COM_KESTRAVO_Purge(0), COM_KESTRAVO_NOT_CONNECTED);
  EXPECT_FALSE(peer->rts);
  EXPECT_NE(Trace().find("COM_KESTRAVO_Purge: Device not connected - DSR=N, DCD=Y\n"), std::string::npos);
}

TEST_F(LinkTest, DeviceAnsweringNToPurgeIsRepairedOnce) {
  auto peer = NewPeer();
  peer->responder = [](const std::string&) { return std::string("zN\r"); };
  StartTrace(0);
  EXPECT_EQ(COM_KESTRAVO_Open(0, 5), 0);
  EXPECT_EQ(peer->frames.size(), 1u);
  std::string t = Trace();
  EXPECT_NE(t.find("Repairing communication\n"), std::string::npos);
  EXPECT_NE(t.find("Port not purged\n"), std::string::npos);
}

TEST_F(LinkTest, RepairStopsOnGarbledReplyButRetriesADeviceThatIsOff) {
  auto peer = NewPeer();
  peer->responder = [](const std::string&) { return std::string("ZY\r"); };
  EXPECT_EQ(COM_KESTRAVO_Open(0, 5), COM_KESTRAVO_WRONG_COMMAND);
  EXPECT_EQ(peer->frames.size(), 1u);
  COM_KESTRAVO_Close(0);

  auto off = NewPeer(6);
  off->dsr = false;
  off->dcd = false;
  StartTrace(1);
  EXPECT_EQ(COM_KESTRAVO_Open(1, 6), COM_KESTRAVO_NOT_CONNECTED);
  EXPECT_EQ(Count(Trace(1), "Repairing communication\n"), 5u);
}

// Replies of the frame layer, each to a fresh exchange on an open slot.
struct ReplyCase {
  const char* name;
  int32_t expect_length;  // n of ReadCommand
  std::string reply;
  int32_t result;
  const char* trace;  // a text the trace must hold, or nullptr
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class FrameTest : public LinkTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(FrameTest, ReadCommandChecksInOrder) {
  const ReplyCase& c = GetParam();
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  StartTrace(0);
  peer->responder = [&](const std::string&) { return c.reply; };
  ASSERT_EQ(WriteCommand(0, 'v'), 0);
  EXPECT_EQ(ReadCommand(0, 'v', c.expect_length), c.result);
  EXPECT_EQ(InterfaceState[0], c.result);
  if (c.trace) {
    EXPECT_NE(Trace().find(c.trace), std::string::npos) << Trace();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FrameTest,
    ::testing::Values(ReplyCase{"Complete", 4, "v0102\r", 0, nullptr},
                      ReplyCase{"TooShort", 4, "v12\r", COM_KESTRAVO_RECEIVE_DATA_FAILED,
                                "ReadCommand: Error receiving data: '5' byte(s) expected, '3' byte(s) "
                                "read\nData read: '12\\x0D'\n"},
                      ReplyCase{
                          "OneTooMany", 4, "v01020\r", COM_KESTRAVO_RECEIVE_TERMINATION_FAILED,
                          "ReadCommand: Error receiving the termination character of the command 'v'\n"},
                      ReplyCase{"EchoOfOtherCase", 4, "V0102\r", COM_KESTRAVO_WRONG_COMMAND,
                                "ReadCommand: Wrong command received: 'V' instead of 'v'\n"},
                      ReplyCase{"WrongEchoBeforeWrongLength", 4, "x1\r", COM_KESTRAVO_WRONG_COMMAND, nullptr},
                      ReplyCase{"FreeLengthTwenty", 0, "v01234567890123456789\r", 0, nullptr},
                      ReplyCase{"FreeLengthEmpty", -1, "v\r", 0, nullptr},
                      ReplyCase{"NoReply", 4, "", COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
                                "ReadCommand: Error receiving command 'v'\n"}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

TEST_F(LinkTest, OneCharacterTooManyPoisonsTheNextExchangeUntilAPurge) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  peer->responder = [](const std::string& f) {
    return f == "z" ? std::string("zY\r") : std::string("V01234\r");
  };
  ASSERT_EQ(WriteCommand(0, 'V'), 0);
  EXPECT_EQ(ReadCommand(0, 'V', 4), COM_KESTRAVO_RECEIVE_TERMINATION_FAILED);
  ASSERT_EQ(WriteCommand(0, 'V'), 0);
  EXPECT_EQ(ReadCommand(0, 'V', 4),
            COM_KESTRAVO_WRONG_COMMAND);  // the left-over carriage return came as the echo
  EXPECT_EQ(COM_KESTRAVO_Purge(0), 0);
  peer->responder = [](const std::string& f) {
    return f == "z" ? std::string("zY\r") : std::string("V0123\r");
  };
  ASSERT_EQ(WriteCommand(0, 'V'), 0);
  EXPECT_EQ(ReadCommand(0, 'V', 4), 0);
  EXPECT_STREQ(Replies[0].text, "0123");
}

TEST_F(LinkTest, IntegerAndBooleanForms) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  StartTrace(0);
  uint32_t v = 7;
  peer->responder = [](const std::string&) { return std::string("s12G4\r"); };
  WriteCommand(0, 's');
  EXPECT_EQ(ReadCommandInt(0, 's', v, 4), 0);
  EXPECT_EQ(v, 0x12u);

  peer->responder = [](const std::string&) { return std::string("sG\r"); };
  WriteCommand(0, 's');
  EXPECT_EQ(ReadCommandInt(0, 's', v, 1), COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_EQ(v, 0x12u);
  EXPECT_NE(Trace().find("ReadCommand-int: Wrong argument received: command='s', Data read: 'G\\x00'\n"),
            std::string::npos)
      << Trace();

  int32_t flag = 5;
  peer->responder = [](const std::string&) { return std::string("Zy\r"); };
  WriteCommand(0, 'Z');
  EXPECT_EQ(ReadCommandBool(0, 'Z', flag), COM_KESTRAVO_WRONG_ARGUMENT);
  EXPECT_EQ(flag, 5);
  EXPECT_NE(
      Trace().find(
          "PortNumber: 0, ReadCommand-bool: Wrong argument received: command='Z', Data read: 'y\\x00'\n"),
      std::string::npos);
}

TEST_F(LinkTest, WriteCommandSendsLetterDataAndCarriageReturn) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  EXPECT_EQ(WriteCommand(0, '$', "02580"), 0);
  EXPECT_EQ(WriteCommand(0, '@', ""), 0);
  EXPECT_EQ(peer->received, "$02580\r@\r");
}

TEST_F(LinkTest, BufferStateAndDevicePurge) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  peer->responder = [](const std::string& f) { return f == "Z" ? std::string("ZN\r") : std::string("zY\r"); };
  int32_t empty = 9, purged = 9;
  EXPECT_EQ(COM_KESTRAVO_GetBufferState(0, &empty), 0);
  EXPECT_EQ(empty, 0);
  EXPECT_EQ(COM_KESTRAVO_DevicePurge(0, &purged), 0);
  EXPECT_EQ(purged, 1);
}

TEST_F(LinkTest, RestartSucceedsWhenTheDeviceAnswersYesAtTheThirdProbe) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  int probes = 0;
  peer->responder = [&](const std::string& f) {
    if (f == "#") return std::string("#\r");
    return std::string(++probes < 3 ? "zN\r" : "zY\r");
  };
  EXPECT_EQ(COM_KESTRAVO_Restart(0), 0);
  EXPECT_EQ(probes, 3);
}

TEST_F(LinkTest, RestartWithoutYesReturnsTheLastProbe) {
  auto peer = NewPeer();
  OpenSlot(0, 5, peer.get());
  int probes = 0;
  peer->responder = [&](const std::string& f) {
    if (f == "#") return std::string("#\r");
    ++probes;
    return std::string("zN\r");
  };
  EXPECT_EQ(COM_KESTRAVO_Restart(0), 0);
  EXPECT_EQ(probes, 21);
}

TEST_F(LinkTest, DataRateChangeThatFailsToReadBackEndsAtNineThousandSixHundred) {
  auto device = NewSim(6);
  OpenSlot(0, 6);
  device->faults.ignore_baud_change = true;  // answers, but stays at 9600: the read-back is garbled
  StartTrace(0);
  uint32_t rate = 57600;
  int32_t r = COM_KESTRAVO_SetBaudRate(0, &rate);
  EXPECT_NE(r, 0);
  EXPECT_EQ(r, COM_KESTRAVO_GetInterfaceState(0));
  EXPECT_EQ(rate, 57600u);
  ports::PortConfig state;
  ASSERT_TRUE(Ports[0].Handle->GetConfig(state));
  EXPECT_EQ(state.baud, 9600u);
  EXPECT_EQ(device->baud(), 9600u);
  // The link works again after the recovery.
  int32_t empty = 0;
  EXPECT_EQ(COM_KESTRAVO_GetBufferState(0, &empty), 0);
  std::string t = Trace();
  EXPECT_NE(t.find("COM_KESTRAVO_SetBaudRate: Setting device baud rate=57600\n"), std::string::npos);
  EXPECT_NE(t.find("COM_KESTRAVO_SetBaudRate: Getting device baud rate\n"), std::string::npos);
  EXPECT_NE(t.find("COM_KESTRAVO_SetBaudRate::Getting: ReadCommand failed"), std::string::npos);
}

TEST_F(LinkTest, DataRateChangeSucceedsOnBothEnds) {
  auto device = NewSim(6);
  OpenSlot(0, 6);
  uint32_t rate = 115200;
  EXPECT_EQ(COM_KESTRAVO_SetBaudRate(0, &rate), 0);
  EXPECT_EQ(rate, 115200u);
  EXPECT_EQ(device->baud(), 115200u);
  int32_t empty = 0;
  EXPECT_EQ(COM_KESTRAVO_GetBufferState(0, &empty), 0);
  EXPECT_EQ(COM_KESTRAVO_Purge(0), 0);  // back to 9600 on both ends
  EXPECT_EQ(device->baud(), 9600u);
  EXPECT_EQ(COM_KESTRAVO_GetBufferState(0, &empty), 0);
}

TEST_F(LinkTest, DataRateRefusedByTheDeviceReportsTheFailedStep) {
  NewSim(6);
  OpenSlot(0, 6);
  uint32_t rate = 5;  // the device answers '?'
  EXPECT_EQ(COM_KESTRAVO_SetBaudRate(0, &rate), COM_KESTRAVO_WRONG_COMMAND);
  EXPECT_EQ(rate, 5u);
  int32_t empty = 0;
  EXPECT_EQ(COM_KESTRAVO_GetBufferState(0, &empty), 0);
}

TEST_F(LinkTest, TwoSlotsWorkSideBySide) {
  auto a = NewPeer(5);
  auto b = NewSim(6);
  OpenSlot(0, 5, a.get());
  OpenSlot(1, 6);
  uint16_t fw = 0;
  EXPECT_EQ(COM_KESTRAVO_GetFWVersion(1, &fw), 0);
  EXPECT_EQ(fw, 0x0103);
  EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw),
            COM_KESTRAVO_RECEIVE_COMMAND_FAILED);  // the scripted peer does not answer 'V'
  EXPECT_EQ(COM_KESTRAVO_GetInterfaceState(1), 0);
}

}  // namespace

// A server that is down is said at once, in the same words on both systems: a connection that is
// refused is never taken for one that timed out.
TEST(TcpConnect, AClosedPortIsRefusedNotTimedOut) {
  std::string why;
  const int listener = platform::TcpListen("127.0.0.1", 0, why);
  ASSERT_GE(listener, 0) << why;
  const uint16_t port = platform::TcpLocalPort(listener);
  platform::TcpClose(listener);
  EXPECT_EQ(platform::TcpConnect("127.0.0.1", port, 20000, why), -1);
  EXPECT_NE(why.find("Connection refused"), std::string::npos) << why;
}
