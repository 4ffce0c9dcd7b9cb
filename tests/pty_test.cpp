// The library and the console program over real pseudo-terminals: against COM-KESTRAVO-Sim, and
// against a far end scripted by the test that answers slowly, in pieces, wrongly, or not at all,
// or vanishes.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "COM-KESTRAVO.h"
#include "link/link.h"
#include "platform/clock.h"
#include "ports/kinds.h"
#include "ports/port.h"
#include "tests/support/child.h"
#include "tests/support/virtual_clock.h"

namespace {

int OpenDescriptors() {
  int n = 0;
  DIR* d = opendir("/proc/self/fd");
  while (d && readdir(d)) ++n;
  if (d) closedir(d);
  return n;
}

// A far end on the master side of a pseudo-terminal, answering frames in a thread of its own. The
// answer to a frame is a list of (pause in ms, text) pieces.
class ScriptedFarEnd {
 public:
  using Piece = std::pair<int, std::string>;
  std::function<std::vector<Piece>(const std::string& frame)> respond;
  std::atomic<bool> reading{true};

  ScriptedFarEnd() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
    respond = [](const std::string& f) { return std::vector<Piece>{{0, f == "z" ? "zY\r" : ""}}; };
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedFarEnd() {
    stop_ = true;
    thread_.join();
    Vanish();
  }
  const std::string& path() const { return path_; }
  // The far end goes away: the master side is closed.
  void Vanish() {
    if (master_ >= 0) close(master_.exchange(-1));
  }

 private:
  void Run() {
    std::string frame;
    while (!stop_) {
      const int fd = master_;
      if (fd < 0 || !reading) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      pollfd pfd{fd, POLLIN, 0};
      if (poll(&pfd, 1, 10) <= 0 || !(pfd.revents & POLLIN)) continue;
      char c = 0;
      if (read(fd, &c, 1) != 1) continue;
      if (c != '\r') {
        frame += c;
        continue;
      }
      for (const Piece& p : respond(frame)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(p.first));
        if (!p.second.empty() && write(fd, p.second.data(), p.second.size()) < 0) break;
      }
      frame.clear();
    }
  }

  std::atomic<int> master_{-1};
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class PtyLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::UseVirtualClock(false); }  // a real line takes real time
  void TearDown() override {
    COM_KESTRAVO_Close(0);
    unsetenv("KESTRAVO_COM9");
  }
  void Attach(const std::string& path) { setenv("KESTRAVO_COM9", path.c_str(), 1); }
};

TEST_F(PtyLinkTest, RepliesSlowInPiecesAndWrong) {
  ScriptedFarEnd far;
  Attach(far.path());
  ASSERT_EQ(COM_KESTRAVO_Open(0, 9), 0);
  struct Case {
    std::vector<ScriptedFarEnd::Piece> reply;
    int32_t result;
  };
  const Case cases[] = {
      {{{0, "V0103\r"}}, 0},
      {{{300, "V0103\r"}}, 0},                                    // slow, within the reply window
      {{{0, "V"}, {3, "01"}, {3, "0"}, {3, "3"}, {3, "\r"}}, 0},  // in pieces
      {{{0, "v0103\r"}}, COM_KESTRAVO_WRONG_COMMAND},             // the wrong echo
      {{{0, "V01\r"}}, COM_KESTRAVO_RECEIVE_DATA_FAILED},         // too short
  };
  for (const Case& c : cases) {
    far.respond = [&](const std::string& f) {
      return f == "z" ? std::vector<ScriptedFarEnd::Piece>{{0, "zY\r"}} : c.reply;
    };
    uint16_t fw = 0;
    EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), c.result) << c.reply[0].second;
    if (c.result == 0) {
      EXPECT_EQ(fw, 0x0103);
    }
    // A purge brings the link back after a failure.
    EXPECT_EQ(COM_KESTRAVO_Purge(0), 0);
  }
}

TEST_F(PtyLinkTest, AFarEndThatVanishesIsReleasedAndTheSlotOpensAgain) {
  const int before = OpenDescriptors();
  {
    ScriptedFarEnd far;
    Attach(far.path());
    ASSERT_EQ(COM_KESTRAVO_Open(0, 9), 0);
    far.Vanish();
    uint16_t fw = 0;
    const int32_t r = COM_KESTRAVO_GetFWVersion(0, &fw);
    // Which step of the exchange meets the hang-up depends on timing: each reports its failure.
    const std::vector<int32_t> link_failures = {COM_KESTRAVO_STATUS_FAILED,
                                                COM_KESTRAVO_SEND_COMMAND_FAILED,
                                                COM_KESTRAVO_SEND_DATA_FAILED,
                                                COM_KESTRAVO_SEND_TERMINATION_FAILED,
                                                COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
                                                COM_KESTRAVO_NOT_CONNECTED,
                                                COM_KESTRAVO_NOT_READY};
    EXPECT_NE(std::find(link_failures.begin(), link_failures.end(), r), link_failures.end()) << r;
    COM_KESTRAVO_Close(0);  // the lines cannot be dropped any more; the device is released all the same
  }
  EXPECT_EQ(OpenDescriptors(), before);
  ScriptedFarEnd back;
  Attach(back.path());
  EXPECT_EQ(COM_KESTRAVO_Open(0, 9), 0);
  EXPECT_EQ(COM_KESTRAVO_Close(0), 0);
}

TEST_F(PtyLinkTest, AFarEndThatStopsReadingEndsAWriteWithinItsBound) {
  ScriptedFarEnd far;
  far.reading = false;
  auto device = ports::OpenSystemDevice(far.path());
  ASSERT_TRUE(device);
  ports::PortConfig s;
  s.baud = 4000000;  // a bound of about 1.1 s for what fills the pseudo-terminal's buffer
  ASSERT_TRUE(device->SetConfig(s));
  std::vector<uint8_t> lots(200000, 'x');
  uint32_t written = 0;
  EXPECT_FALSE(device->Write(lots.data(), uint32_t(lots.size()), written));
}

// COM-KESTRAVO-Sim on its pseudo-terminal, used by the library and by the console program.
class SimProgramTest : public PtyLinkTest {
 protected:
  void SetUp() override {
    PtyLinkTest::SetUp();
    sim_ = testing_support::StartChild(
        [] {
          execl(KESTRAVO_SIM_PATH, KESTRAVO_SIM_PATH, static_cast<char*>(nullptr));
          _exit(98);
        },
        false);
    // Its first line is the path of its pseudo-terminal.
    char c = 0;
    while (read(sim_.out, &c, 1) == 1 && c != '\n') path_ += c;
    ASSERT_EQ(path_.rfind("/dev/pts/", 0), 0u) << path_;
  }
  void TearDown() override {
    PtyLinkTest::TearDown();
    kill(sim_.pid, SIGTERM);
    testing_support::Finish(sim_);
  }
  testing_support::Child sim_;
  std::string path_;
};

TEST_F(SimProgramTest, TheLibraryOverTheTermiosBackEnd) {
  Attach(path_);
  ASSERT_EQ(COM_KESTRAVO_Open(0, 9), 0);
  char id[COM_KESTRAVO_PRODUCT_ID_SIZE] = "";
  EXPECT_EQ(COM_KESTRAVO_GetProductID(0, id), 0);
  EXPECT_STREQ(id, "KESTRAVO PG4-HV pulse generator (simulated)");
  uint32_t rate = 115200;
  ASSERT_EQ(COM_KESTRAVO_SetBaudRate(0, &rate), 0);
  std::vector<uint8_t> block(4092), back(4092);
  for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 13);
  EXPECT_EQ(COM_KESTRAVO_SetMemoryData(0, 0, 4092, block.data()), 0);
  EXPECT_EQ(COM_KESTRAVO_GetMemoryData(0, 0, 4092, back.data()), 0);
  EXPECT_EQ(back, block);
  EXPECT_EQ(COM_KESTRAVO_Restart(0), 0);
  uint32_t period = 0;
  EXPECT_EQ(COM_KESTRAVO_GetOscillatorPeriod(0, &period), 0);
  EXPECT_EQ(period, 998u);
}

TEST_F(SimProgramTest, TheConsoleProgram) {
  testing_support::Child program = testing_support::StartChild(
      [&] {
        setenv("KESTRAVO_COM4", path_.c_str(), 1);
        execl(KESTRAVO_PROGRAM_PATH, KESTRAVO_PROGRAM_PATH, "4", "-q", "-v", "-P2D1000", "-P2d", "-T",
              static_cast<char*>(nullptr));
        _exit(98);
      },
      true);
  testing_support::SendAndClose(program, "");
  std::string out;
  testing_support::ReadToEnd(program, out);
  EXPECT_EQ(testing_support::Finish(program), 0);
  EXPECT_EQ(out,
            "Hardware type: 4B53h, hardware version: 1.02\n"
            "Pulse delay of pulser #2 set to 1000 (1.003000E-05s)\n"
            "Pulse delay of pulser #2: 1000 (1.003000E-05s)\n");
}

}  // namespace
