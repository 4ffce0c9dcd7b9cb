// COM-KESTRAVO-Control as a script runs it: the real binary against the simulated device, with
// its input from a pipe and its output captured.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "control/texts.h"
#include "tests/support/child.h"

namespace {

struct Outcome {
  std::string out;
  int status = -1;
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/kestravo-program-" +
           std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    mkdir(dir_.c_str(), 0700);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // Runs the program with the arguments and the given input (then end of input), in a directory
  // of its own, with COM1 a simulated device and COM2 missing.
  Outcome Run(const std::vector<std::string>& args, const std::string& input = "") {
    testing_support::Child child = Start(args, true);
    testing_support::SendAndClose(child, input);
    Outcome o;
    testing_support::ReadToEnd(child, o.out);
    o.status = testing_support::Finish(child);
    return o;
  }

  // Starts the program in its directory with COM1 a simulated device and COM2 missing.
  testing_support::Child Start(const std::vector<std::string>& args, bool merge_stderr) {
    return testing_support::StartChild(
        [&] {
          if (chdir(dir_.c_str()) != 0) _exit(99);
          setenv("KESTRAVO_COM1", "sim", 1);
          setenv("KESTRAVO_COM2", "/nonexistent/kestravo-port", 1);
          std::vector<char*> argv;
          argv.push_back(const_cast<char*>(KESTRAVO_PROGRAM_PATH));
          for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
          argv.push_back(nullptr);
          execv(KESTRAVO_PROGRAM_PATH, argv.data());
          _exit(98);
        },
        merge_stderr);
  }

  static std::string Usage(const std::string& error_line) {
    char usage[8192];
    std::snprintf(usage, sizeof usage, control::kUsageText, 15);
    return "COM-KESTRAVO-Control ver. 1-00, compilation date: Jun 30 2021\n"
           "Control program for the KESTRAVO pulse generator, simulated device included\n" +
           error_line + "\nUsage: COM-KESTRAVO-Control" + usage;
  }

  std::string dir_;
};

TEST_F(ProgramTest, UsageOutputAndExitStatus) {
  Outcome none = Run({});
  EXPECT_EQ(none.status, 255);
  EXPECT_EQ(none.out, Usage(""));

  Outcome bad = Run({"3", "T"});
  EXPECT_EQ(bad.status, 255);
  EXPECT_EQ(bad.out, Usage("\nError parsing argument #2: T\n"));

  Outcome com = Run({"x"});
  EXPECT_EQ(com.out, Usage("\nError parsing argument #1: x\n"));

  Outcome missing = Run({"1", "-@"});
  EXPECT_EQ(missing.out, Usage("\nError parsing argument #3: argument not available\n"));

  Outcome unknown = Run({"1", "-j"});
  EXPECT_EQ(unknown.out, Usage("\nError parsing argument #2: -j\n"));
}

TEST_F(ProgramTest, ChannelSwitchInOneOrTwoArguments) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"1", "-@2", "-T"}, std::vector<std::string>{"1", "-@", "2", "-T"}}) {
    Outcome o = Run(args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "COM1 opened for the communication port 2\nProgram finished");
  }
}

TEST_F(ProgramTest, DebugModeClearsQuietAtOpeningAndWritesDebugTxt) {
  Outcome o = Run({"1", "-Q", "-G", "-T"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            "Checking DLL Version...\nDLL Version: 1.00\nOpening COM1 for the communication port 0...\n"
            "COM1 opened for the communication port 0\nClosing the communication port...\n"
            "Communication port closed\nProgram finished");
  struct stat st {};
  EXPECT_EQ(stat((dir_ + "/Debug.txt").c_str(), &st), 0);
  EXPECT_GT(st.st_size, 0);
}

TEST_F(ProgramTest, TerminateStopsTheSwitches) {
  Outcome o = Run({"1", "-i", "-T", "-s"});
  EXPECT_EQ(o.out, "COM1 opened for the communication port 0\nState:\tDevice active\nProgram finished");
}

TEST_F(ProgramTest, ExtraCharactersRunTheSwitchThenFail) {
  Outcome o = Run({"1", "-Bx"});
  EXPECT_EQ(o.status, 255);
  EXPECT_EQ(o.out, "COM1 opened for the communication port 0\nBuffer is empty\n" +
                       Usage("\nError parsing argument #2: -Bx\n"));
}

TEST_F(ProgramTest, FailedOpeningStillCloses) {
  Outcome o = Run({"2", "-b"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            "Error opening the port\n"
            "Error at COM_KESTRAVO_GetBufferState: Error sending command, I/O Error Message: "
            "Error writing data to the port\n"
            "Error closing the port\nProgram finished");
}

TEST_F(ProgramTest, OnceDisplays) {
  Outcome o = Run({"1", "-q", "-v", "-V", "-d", "-p", "-n", "-l", "-z", "-T"});
  EXPECT_EQ(
      o.out,
      "Hardware type: 4B53h, hardware version: 1.02\nFirmware version: 1-03\nFirmware date: Mar 14 2024\n"
      "Product identification: KESTRAVO PG4-HV pulse generator (simulated)\nProduct number: 74565\n"
      "LED data:\tRed:  No,\tGreen: Yes,\tBlue: Yes\n");
  Outcome s = Run({"1", "-Q", "-s", "-T"});
  EXPECT_EQ(s.out,
            "Device status: 00000000h = 00000000000000000000000000000000b\n\tController disabled:  No\n"
            "\tVoltages failed:\tCPU:  No,\tFan:  No\n\tFans failed:\t#1:  No,\t#2:  No,\t#3:  No\n"
            "\tSensors hot:\t#1:  No,\t#2:  No,\t#3:  No\n\tSensors cold:\t#1:  No,\t#2:  No,\t#3:  No\n");
}

TEST_F(ProgramTest, KeyLoopFromAScript) {
  // '?' prints the help; the keys typed while it ran are drained; end of input ends the loop.
  Outcome o = Run({"1"}, "?\x1b[Av");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, std::string("COM1 opened for the communication port 0\nPress '?' for help\n") +
                       control::kHelpText + "Program finished");
  Outcome v = Run({"1", "-q"}, "v");
  EXPECT_EQ(v.out, "Firmware version: 1-03\n");
  // A cursor key at the top level does nothing.
  Outcome up = Run({"1", "-q"}, "\x1b[A");
  EXPECT_EQ(up.out, "");
}

TEST_F(ProgramTest, QuietKeyLoopAndEsc) {
  Outcome o = Run({"1", "-q"},
                  "V\x1b"
                  "v");
  EXPECT_EQ(o.out, "Hardware type: 4B53h, hardware version: 1.02\n");
}

TEST_F(ProgramTest, ContinuousDisplayWritesAPassPerLineWhenLogged) {
  // Without a terminal each pass goes on a line of its own; keys other than Esc are consumed by it.
  Outcome o = Run({"1", "-Q", "-I"}, "xyz");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("State:    \nDevice active           ", 0), 0u) << o.out;
  EXPECT_EQ(o.out.find('\x1b'), std::string::npos) << "no cursor control without a terminal";
}

TEST_F(ProgramTest, TerminationSignalClosesInOrder) {
  // A continuous display waiting for keys that never come, ended by SIGTERM.
  testing_support::Child child = Start({"1", "-I"}, false);
  std::string text;
  char buf[4096];
  while (text.find("Device active") == std::string::npos) {
    pollfd pfd{child.out, POLLIN, 0};
    ASSERT_GT(poll(&pfd, 1, 10000), 0) << text;
    ssize_t n = read(child.out, buf, sizeof buf);
    ASSERT_GT(n, 0);
    text.append(buf, size_t(n));
  }
  kill(child.pid, SIGTERM);
  testing_support::ReadToEnd(child, text);
  EXPECT_EQ(testing_support::Finish(child), 128 + SIGTERM);
  EXPECT_EQ(text.substr(text.size() - 17), "\nProgram finished") << text;  // after the display ended
}

}  // namespace
