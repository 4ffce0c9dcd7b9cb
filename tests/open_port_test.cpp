// Ports opened by name through COM_KESTRAVO_OpenPort: every kind of name, the ways an opening is
// refused, and the environment left as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "COM-KESTRAVO.h"
#include "tests/support/child.h"
#include "tests/support/fixture.h"
#include "tests/support/virtual_clock.h"

extern char** environ;

namespace {

std::vector<std::string> Environment() {
  std::vector<std::string> all;
  for (char** e = environ; *e; ++e) all.emplace_back(*e);
  return all;
}

class OpenPortTest : public testing_support::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    testing_support::UseVirtualClock(false);  // devices in other processes keep real time
    environment_ = Environment();
  }
  void TearDown() override {
    for (testing_support::Child& c : children_) {
      kill(c.pid, SIGTERM);
      testing_support::Finish(c);
    }
    LinkTest::TearDown();
  }
  // COM-KESTRAVO-Sim with the given arguments; the first line it prints (a pty path or a port).
  std::string StartSim(const std::vector<const char*>& args) {
    children_.push_back(testing_support::StartChild(
        [&] {
          std::vector<char*> argv = {const_cast<char*>(KESTRAVO_SIM_PATH)};
          for (const char* a : args) argv.push_back(const_cast<char*>(a));
          argv.push_back(nullptr);
          execv(KESTRAVO_SIM_PATH, argv.data());
          _exit(98);
        },
        false));
    std::string line;
    char c = 0;
    while (read(children_.back().out, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

  void ExpectEnvironmentUnchanged() { EXPECT_EQ(Environment(), environment_) << "the environment changed"; }

  std::vector<std::string> environment_;
  std::vector<testing_support::Child> children_;
};

TEST_F(OpenPortTest, EveryKindOfName) {
  const std::string state = testing_support::TempPath("open-port-state.txt");
  const std::string names[] = {"sim", "sim:" + state, StartSim({}),
                               "rfc2217://" + StartSim({"--rfc2217", "0"})};
  for (const std::string& name : names) {
    StartTrace(0);
    ASSERT_EQ(COM_KESTRAVO_OpenPort(0, name.c_str()), 0) << name << ": " << COM_KESTRAVO_GetErrorMessage(0);
    EXPECT_STREQ(COM_KESTRAVO_GetOpenFailureReason(0), "");
    uint16_t version = 0;
    EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &version), 0) << name;
    EXPECT_EQ(version, 0x0103);
    EXPECT_EQ(COM_KESTRAVO_SaveCurrentConfig(0, 0), 0) << name;  // kept in a state file
    EXPECT_EQ(COM_KESTRAVO_Close(0), 0) << name;
    EXPECT_NE(Trace(0).find("COM_KESTRAVO_OpenPort: PortNumber=0, Port=" + name + "\n"), std::string::npos);
    COM_KESTRAVO_CloseDebugFile(0);
  }
  ExpectEnvironmentUnchanged();
  EXPECT_NE(testing_support::ReadFile(state), "");  // the simulated device kept its state there
  std::remove(state.c_str());
}

TEST_F(OpenPortTest, RefusedOpeningsSayWhy) {
  struct Case {
    const char* name;
    int32_t result;
    const char* reason;  // a part of the reason
  };
  const Case cases[] = {
      {"", COM_KESTRAVO_OPEN_FAILED, "no port was named"},
      {"nosuchkind:x", COM_KESTRAVO_OPEN_FAILED, "'nosuchkind:x' names no kind of port"},
      {"/nonexistent/kestravo-tty", COM_KESTRAVO_OPEN_FAILED, "/nonexistent/kestravo-tty"},
      {"sim:/nonexistent/kestravo/state.txt", COM_KESTRAVO_OPEN_FAILED, "/nonexistent/kestravo/state.txt"},
      {"rfc2217://127.0.0.1:0", COM_KESTRAVO_OPEN_FAILED, "127.0.0.1:0"},
      {nullptr, COM_KESTRAVO_BAD_ARGUMENT, ""},
  };
  for (const Case& c : cases) {
    StartTrace(1);
    EXPECT_EQ(COM_KESTRAVO_OpenPort(1, c.name), c.result) << (c.name ? c.name : "null");
    EXPECT_NE(std::string(COM_KESTRAVO_GetOpenFailureReason(1)).find(c.reason), std::string::npos)
        << (c.name ? c.name : "null") << ": " << COM_KESTRAVO_GetOpenFailureReason(1);
    if (c.name) {
      EXPECT_NE(Trace(1).find(std::string("COM_Open: Error opening the port ") + c.name + "\n"),
                std::string::npos)
          << Trace(1);
    }
    COM_KESTRAVO_CloseDebugFile(1);
  }
  EXPECT_EQ(COM_KESTRAVO_OpenPort(16, "sim"), COM_KESTRAVO_PORT_NUMBER_RANGE);
  ExpectEnvironmentUnchanged();

  // A slot that is open refuses another opening, by name or by number, and stays usable.
  ASSERT_EQ(COM_KESTRAVO_OpenPort(2, "sim"), 0);
  EXPECT_EQ(COM_KESTRAVO_OpenPort(2, "sim"), COM_KESTRAVO_OPEN_FAILED);
  EXPECT_STREQ(COM_KESTRAVO_GetOpenFailureReason(2), "the slot is already open");
  NewSim(6);
  EXPECT_EQ(COM_KESTRAVO_Open(2, 6), COM_KESTRAVO_OPEN_FAILED);
  EXPECT_STREQ(COM_KESTRAVO_GetOpenFailureReason(2), "the slot is already open");
  uint16_t version = 0;
  EXPECT_EQ(COM_KESTRAVO_GetFWVersion(2, &version), 0);
  EXPECT_EQ(COM_KESTRAVO_Close(2), 0);
}

}  // namespace
