// COM-KESTRAVO-Control as a script runs it: the real binary against the simulated device, with
// its input from a pipe and its output captured.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/fixture.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRAVO_ASAN 1
#endif
#endif
#ifndef KESTRAVO_ASAN
#define KESTRAVO_ASAN 0
#endif

namespace {

// The usage text after the program name, as the program prints it (kept once, in tests/data).
std::string UsageText() {
  std::ifstream file(KESTRAVO_TEST_DATA "/usage.txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
const std::string kUsage = UsageText();

// The key loop's help text.
const std::string kHelp = R"(Press 'b','B' to get buffer status,          'z','Z' to purge the communication
      'c','C' to get CPU data,               'u','U' to get uptime
      '!' to restart the device,             'd' to get firmware date
      'v' to get firmware version,           'V' to get hardware type & version
      'p' to get product identification,     'n','N' to get product number
      'R' to get/set switch configuration,   'D' to get/set DIO configuration
      'o','O' to get/set oscillator period,  'a','A' to issue software trigger
      'w','W' to get/set controller state,   'P' to get/set pulser settings
      'j','J' to get/set device enable,      'K' to manage configurations
      'l','L' to get LED data,               'i','I' to get status
      's','S' to get device status,          'm','M' to get sensor data
      'f','F' to get fan data
      'y','Y' to backup/restore memory data, 'h','H' to get device housekeeping
      'x' to log data,                       'X' to create test protocol
      '$' to set data rate,                  '@' to test communication
      'Esc' to stop,                         '?' for this help...
  Notes:
    1. use capitals for continuous mode, if available
    2. integer numbers can also be entered in hexadecimal or binary formats
       by appending 'h' or 'b' specifying the respective radix
)";

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
  Outcome Run(const std::vector<std::string>& args, const std::string& input = "",
              const std::vector<std::pair<std::string, std::string>>& env = {},
              const char* program = KESTRAVO_PROGRAM_PATH) {
    env_ = env;
    testing_support::Child child = Start(args, true, program);
    testing_support::SendAndClose(child, input);
    Outcome o;
    testing_support::ReadToEnd(child, o.out);
    o.status = testing_support::Finish(child);
    return o;
  }

  // Starts the program in its directory with COM1 a simulated device and COM2 missing.
  testing_support::Child Start(const std::vector<std::string>& args, bool merge_stderr,
                               const char* program = KESTRAVO_PROGRAM_PATH) {
    return testing_support::StartChild(
        [&] {
          if (chdir(dir_.c_str()) != 0) _exit(99);
          setenv("KESTRAVO_COM1", "sim", 1);
          setenv("KESTRAVO_COM2", "/nonexistent/kestravo-port", 1);
          for (const auto& [name, value] : env_) setenv(name.c_str(), value.c_str(), 1);
          std::vector<char*> argv;
          argv.push_back(const_cast<char*>(program));
          for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
          argv.push_back(nullptr);
          execv(program, argv.data());
          _exit(98);
        },
        merge_stderr);
  }

  // COM-KESTRAVO-Sim on a pseudo-terminal of its own, with the given faults; its path in pty.
  static testing_support::Child StartSimOnPty(const char* faults, std::string& pty) {
    testing_support::Child sim = testing_support::StartChild(
        [faults] {
          if (*faults) setenv("KESTRAVO_SIM_FAULTS", faults, 1);
          execl(KESTRAVO_SIM_PATH, KESTRAVO_SIM_PATH, static_cast<char*>(nullptr));
          _exit(98);
        },
        false);
    char c = 0;
    while (read(sim.out, &c, 1) == 1 && c != '\n') pty += c;
    return sim;
  }

  static std::string Usage(const std::string& error_line) {
    return "COM-KESTRAVO-Control ver. 1-00, compilation date: Jun 30 2021\n"
           "Control program for the KESTRAVO pulse generator, simulated device included\n" +
           error_line + "\nUsage: COM-KESTRAVO-Control" + kUsage;
  }

  std::string dir_;
  std::vector<std::pair<std::string, std::string>> env_;
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

  Outcome unknown = Run({"1", "-k"});
  EXPECT_EQ(unknown.out, Usage("\nError parsing argument #2: -k\n"));
}

TEST_F(ProgramTest, HelpAndVersionOptions) {
  Outcome help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, Usage("") + R"(
Ports:
  In place of the COM number: a device path (/dev/ttyUSB0, /dev/serial/by-id/...), sim,
  sim:<file> or rfc2217://host:port. COM n is the device KESTRAVO_COM<n> names, else
  /dev/ttyS<n-1> (on many machines /dev/ttyS0 is the system console).
  --list                      the serial ports of this machine
  --strict, anywhere:         the first failure ends the program with status 2 (opening),
                              3 (a device call failed or the device's state refused the
                              command), 4 (argument) or 5 (file); errors also on stderr
  --yes, anywhere:            answer the y/n questions of restore and configurations with yes
  --trace FILE, anywhere:     debug mode (-G) with the trace in FILE, kept when it exists
                              unless --yes (-G FILE too, FILE not starting with - or /)
  --json, anywhere:           each reading as one JSON object per line on standard output
                              (schema: docs/json-schema), the other text on standard error
  --interval SECONDS:         the pace of the continuous displays and the data log
  --count N:                  end them after N passes (the end of input does not end them)
  Quiet (-Q) drops the progress lines; without it they go to standard error when the output
  is no terminal.
)");

  // -h in the place of the port is --help (elsewhere -h is the housekeeping switch).
  Outcome short_help = Run({"-h"});
  EXPECT_EQ(short_help.status, 0);
  EXPECT_EQ(short_help.out, Run({"--help"}).out);

  Outcome version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("COM-KESTRAVO-Control 1.2.0, built ", 0), 0u) << version.out;

  // Only in the place of the COM number; elsewhere they are switches that do not parse.
  Outcome late = Run({"1", "--help"});
  EXPECT_EQ(late.status, 255);
  EXPECT_EQ(late.out, Usage("\nError parsing argument #2: --help\n"));
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
            "COM1 opened for the communication port 0\nCOM1: sim\nClosing the communication port...\n"
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
            "COM2: /nonexistent/kestravo-port: No such file or directory\n"
            "Error at COM_KESTRAVO_GetBufferState: Error sending command, I/O Error Message: "
            "Error writing data to the port\n"
            "Error closing the port\nProgram finished");
}

TEST_F(ProgramTest, SmallLetterSwitchesShowEachValueOnce) {
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
  EXPECT_EQ(o.out, std::string("COM1 opened for the communication port 0\nPress '?' for help\n") + kHelp +
                       "Program finished");
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
  // Without a terminal each pass is a line of its own; keys other than Esc are consumed by it.
  Outcome o = Run({"1", "-Q", "-I"}, "xyz");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            "State:    Device active\nState:    Device active\nState:    Device active\n"
            "State:    Device active\n")
      << o.out;
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

namespace {

TEST_F(ProgramTest, SettingsFromTheCommandLine) {
  Outcome o = Run({"1", "-q", "-P2D1000", "-P2d", "-R1T33", "-Rym", "-D2IT", "-T"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(
      o.out,
      "Pulse delay of pulser #2 set to 1000 (1.003000E-05s)\nPulse delay of pulser #2: 1000 (1.003000E-05s)\n"
      "Configuration of switch #1 trigger set to 33=21h (negated software trigger)\n"
      "Switch trigger mapping set to enabled\nDIO2 configuration set to terminated input\n");
  // A software trigger with a typing error ends in the usage output and never fires.
  Outcome bad = Run({"1", "-q", "-A1", "-w"});
  EXPECT_EQ(bad.status, 255);
  EXPECT_EQ(bad.out, Usage("\nError parsing argument #3: -A1\n"));
}

}  // namespace

namespace {

// The "config" lines of a simulated device's state file: its stored configurations.
std::string StoredConfigs(const std::string& path) {
  std::string all = testing_support::ReadFile(path), configs;
  for (size_t at = 0; at < all.size();) {
    size_t end = all.find('\n', at);
    if (end == std::string::npos) end = all.size();
    if (all.compare(at, 7, "config ") == 0) configs += all.substr(at, end - at + 1);
    at = end + 1;
  }
  return configs;
}

TEST_F(ProgramTest, SaveAllThenLoadAllIntoAFreshDevice) {
  // The first device gets 126 different sets with names, then saves them all into a file.
  std::vector<std::string> args = {"1", "-q"};
  for (int n = 1; n <= 126; ++n) {
    args.insert(args.end(),
                {"-O" + std::to_string(n * 3), "-P1D" + std::to_string(n), "-KS" + std::to_string(n),
                 "-KN" + std::to_string(n), "Set\\" + std::to_string(n)});
  }
  args.insert(args.end(), {"-KW", "all.ini", "-T"});
  const std::vector<std::pair<std::string, std::string>> first = {{"KESTRAVO_VIRTUAL_CLOCK", "1"},
                                                                  {"KESTRAVO_COM1", "sim:first.txt"}};
  // The program's own code on the virtual clock: 126 sets each way at 9600 baud take no real time.
  Outcome save = Run(args, "", first, KESTRAVO_TEST_PROGRAM_PATH);
  ASSERT_EQ(save.status, 0) << save.out;
  const std::vector<std::pair<std::string, std::string>> second = {{"KESTRAVO_VIRTUAL_CLOCK", "1"},
                                                                   {"KESTRAVO_COM1", "sim:second.txt"}};
  Outcome load = Run({"1", "-KR", "all.ini", "-T"}, "", second, KESTRAVO_TEST_PROGRAM_PATH);
  ASSERT_EQ(load.status, 0);
  EXPECT_NE(load.out.find("Configuration #126 loaded from data file 'all.ini'"), std::string::npos);
  const std::string a = StoredConfigs(dir_ + "/first.txt"), b = StoredConfigs(dir_ + "/second.txt");
  EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 126);
  EXPECT_EQ(a, b);
}

TEST_F(ProgramTest, QuietDropsProgressAndProgressGoesToStandardErrorOfAPipe) {
  const std::vector<std::pair<std::string, std::string>> env = {{"KESTRAVO_VIRTUAL_CLOCK", "1"},
                                                                {"KESTRAVO_COM1", "sim:store.txt"}};
  // Quiet: the save's one result line and nothing else on either stream.
  Outcome o = Run({"1", "-Q", "-KS1", "-KW", "all.ini", "-T"}, "", env, KESTRAVO_TEST_PROGRAM_PATH);
  EXPECT_EQ(o.out, "Current configuration saved to NVM set #1\n");
  EXPECT_NE(testing_support::ReadFile(dir_ + "/all.ini").find("[Configuration1]"), std::string::npos);
  // Not quiet: 126 progress lines, all on standard error; standard output holds the results.
  o = Run({"1", "-KW", "all.ini", "-T"}, "", env, KESTRAVO_TEST_PROGRAM_PATH);
  size_t lines = 0;
  for (size_t at = o.out.find("Processing configuration #"); at != std::string::npos;
       at = o.out.find("Processing configuration #", at + 1))
    ++lines;
  EXPECT_EQ(lines, 126u) << o.out;
  env_ = env;
  testing_support::Child child = Start({"1", "-KW", "all.ini", "-T"}, false, KESTRAVO_TEST_PROGRAM_PATH);
  testing_support::SendAndClose(child, "");
  std::string out;
  testing_support::ReadToEnd(child, out);
  EXPECT_EQ(testing_support::Finish(child), 0);
  EXPECT_EQ(out,
            "COM1 opened for the communication port 0\nConfiguration #1 saved to data file 'all.ini'\n"
            "Program finished");
}

}  // namespace

namespace {

TEST_F(ProgramTest, AStateFileThatCannotBeKeptFailsTheOpening) {
  Outcome o = Run({"1", "-G", "-T"}, "", {{"KESTRAVO_COM1", "sim:/nonexistent/dir/state.txt"}});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("KESTRAVO simulated device: /nonexistent/dir: No such file or directory\n"),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("Error opening the port\n"), std::string::npos);
  const std::string trace = testing_support::ReadFile(dir_ + "/Debug.txt");
  EXPECT_NE(trace.find(
                "COMPort::Open: sim:/nonexistent/dir/state.txt: /nonexistent/dir: No such file or directory"),
            std::string::npos)
      << trace;
}

}  // namespace

namespace {

TEST_F(ProgramTest, AClosedOutputEndsTheProgramThroughItsClosing) {
  // "| head": the reader goes away; the program ends as after Ctrl-C, its debug file complete.
  testing_support::Child child = Start({"1", "-G", "-H"}, false);
  close(child.out);
  child.out = -1;
  const int status = testing_support::Finish(child);
  EXPECT_EQ(status, 128 + SIGPIPE);
  const std::string trace = testing_support::ReadFile(dir_ + "/Debug.txt");
  EXPECT_NE(trace.find("COM_KESTRAVO_Close: PortNumber=0"), std::string::npos) << trace;
  EXPECT_NE(trace.find("File closed by COM_KESTRAVO_CloseDebugFile\n"), std::string::npos) << trace;
}

TEST_F(ProgramTest, ADebugFileThatCannotBeOpenedIsReported) {
  mkdir((dir_ + "/Debug.txt").c_str(), 0700);  // a directory where the file should be
  Outcome o = Run({"1", "-G", "-T"});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("Debug.txt: Error opening the file for debugging output\n"), std::string::npos)
      << o.out;
}

TEST_F(ProgramTest, ATraceFileCanBeNamedAndANamedOneIsKept) {
  // -G FILE (a following argument that is no switch) and --trace FILE anywhere; no Debug.txt then.
  ASSERT_EQ(Run({"1", "-G", "mine.txt", "-v", "-T"}).status, 0);
  const std::string first = testing_support::ReadFile(dir_ + "/mine.txt");
  EXPECT_NE(first.find("COM_KESTRAVO_Open: PortNumber=0"), std::string::npos) << first;
  struct stat st {};
  EXPECT_NE(stat((dir_ + "/Debug.txt").c_str(), &st), 0);
  // A named file that exists is kept; under --strict that is a file failure and nothing is sent.
  Outcome o = Run({"1", "-v", "-T", "--trace", "mine.txt", "--strict"});
  EXPECT_EQ(o.status, 5);
  EXPECT_NE(o.out.find("mine.txt: the file exists and is kept (--yes replaces it)\n"), std::string::npos)
      << o.out;
  EXPECT_EQ(o.out.find("Hardware type"), std::string::npos) << o.out;
  EXPECT_EQ(testing_support::ReadFile(dir_ + "/mine.txt"), first);
  // --yes replaces it.
  FILE* old = std::fopen((dir_ + "/mine.txt").c_str(), "w");
  ASSERT_NE(old, nullptr);
  std::fputs("an older trace\n", old);
  std::fclose(old);
  o = Run({"--trace", "mine.txt", "1", "-v", "-T", "--yes"});
  EXPECT_EQ(o.status, 0);
  const std::string replaced = testing_support::ReadFile(dir_ + "/mine.txt");
  EXPECT_EQ(replaced.find("an older trace"), std::string::npos) << replaced;
  EXPECT_NE(replaced.find("COM_KESTRAVO_Open: PortNumber=0"), std::string::npos) << replaced;
  // -G followed by a switch is the plain -G: Debug.txt, replaced as it always was.
  ASSERT_EQ(Run({"1", "-G", "-v", "-T"}).status, 0);
  ASSERT_EQ(Run({"1", "-G", "-v", "-T"}).status, 0);
  EXPECT_EQ(stat((dir_ + "/Debug.txt").c_str(), &st), 0);
}

}  // namespace

namespace {

// Entries of the directory whose names carry the mark of a file being saved.
int NewFilesIn(const std::string& dir) {
  const std::string listing = "ls -a '" + dir + "' | grep -c -- '.COM-KESTRAVO-new.' > '" + dir + "/.count'";
  if (std::system(listing.c_str()) < 0) return -1;
  return std::atoi(testing_support::ReadFile(dir + "/.count").c_str());
}

TEST_F(ProgramTest, AFileSizeLimitIsAFailedWriteAndLeavesNothingBehind) {
  const std::string old = dir_ + "/old.txt";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-Ks", old}, {"-KS1", "-Kw1", old}, {"-KS1", "-KW", old}, {"-y", old}}) {
    FILE* f = std::fopen(old.c_str(), "w");
    std::fputs("the old file\n", f);
    std::fclose(f);
    std::vector<std::string> all = {"1", "-q"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("-T");
    // 512 bytes at most per file: every save fails part-way.
    testing_support::Child child = testing_support::StartChild(
        [&] {
          rlimit limit{512, 512};
          setrlimit(RLIMIT_FSIZE, &limit);
          if (chdir(dir_.c_str()) != 0) _exit(99);
          setenv("KESTRAVO_COM1", "sim", 1);
          std::vector<char*> argv{const_cast<char*>(KESTRAVO_PROGRAM_PATH)};
          for (const std::string& a : all) argv.push_back(const_cast<char*>(a.c_str()));
          argv.push_back(nullptr);
          execv(KESTRAVO_PROGRAM_PATH, argv.data());
          _exit(98);
        },
        true);
    std::string out;
    testing_support::ReadToEnd(child, out);
    EXPECT_EQ(testing_support::Finish(child), 0) << args[0] << ": " << out;
    EXPECT_NE(out.find("Error "), std::string::npos) << out;
    EXPECT_EQ(out.find("saved to data file"), std::string::npos) << out;
    EXPECT_EQ(out.find("saved into data file"), std::string::npos) << out;
    EXPECT_EQ(testing_support::ReadFile(old), "the old file\n") << args[0];
    EXPECT_EQ(NewFilesIn(dir_), 0) << args[0];
  }
}

TEST_F(ProgramTest, EndlessOrHugeInputFilesAreRefusedWithinTheirBound) {
  // 800 MB of address space: reading /dev/zero whole would end in "Aborted".
  // (A restore drains typed-ahead keys before its questions: its bound is tested in-process.)
  for (const char* sw : {"-Kl", "-KR", "-Kr1"}) {
    testing_support::Child child = testing_support::StartChild(
        [&] {
#if !defined(__SANITIZE_ADDRESS__) && !KESTRAVO_ASAN
          rlimit limit{800u << 20, 800u << 20};  // AddressSanitizer's shadow needs more address space
          setrlimit(RLIMIT_AS, &limit);
#endif
          setenv("KESTRAVO_COM1", "sim", 1);
          const char* argv[] = {KESTRAVO_PROGRAM_PATH, "1", sw, "/dev/zero", "-T", nullptr};
          execv(KESTRAVO_PROGRAM_PATH, const_cast<char**>(argv));
          _exit(98);
        },
        true);
    testing_support::SendAndClose(child, "yy");
    std::string out;
    testing_support::ReadToEnd(child, out);
    EXPECT_EQ(testing_support::Finish(child), 0) << sw << ": " << out;
    EXPECT_NE(out.find("Data file '/dev/zero' is longer than 1048576 bytes: not read\n"), std::string::npos)
        << sw << ": " << out;
    EXPECT_EQ(out.substr(out.size() - 16), "Program finished") << out;
  }
}

TEST_F(ProgramTest, ASignalDuringALongCommandGoesStraightToTheClosing) {
  // The backup, the save of all configurations and a display started from the command line, each
  // followed by more switches: the signal ends the command at its next step, runs no further switch
  // and no key loop, and the old backup stays.
  const std::string backup = dir_ + "/backup.txt";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"1", "-y", backup, "-v"}, {"1", "-KW", backup, "-v"}, {"1", "-I", "-v"}}) {
    FILE* f = std::fopen(backup.c_str(), "w");
    std::fputs("the old backup\n", f);
    std::fclose(f);
    // At 9600 baud over a pseudo-terminal-free simulated line the commands take seconds. The progress
    // lines come on standard error, the output being no terminal.
    testing_support::Child child = Start(args, true);
    std::string text;
    char buf[4096];
    const char* started = args[1] == "-y"    ? "Getting memory data, address: 0080h"
                          : args[1] == "-KW" ? "Processing configuration #2"
                                             : "Device active";
    while (text.find(started) == std::string::npos) {
      pollfd pfd{child.out, POLLIN, 0};
      ASSERT_GT(poll(&pfd, 1, 10000), 0) << text;
      ssize_t n = read(child.out, buf, sizeof buf);
      ASSERT_GT(n, 0) << text;
      text.append(buf, size_t(n));
    }
    kill(child.pid, SIGTERM);
    testing_support::ReadToEnd(child, text);
    EXPECT_EQ(testing_support::Finish(child), 128 + SIGTERM);
    EXPECT_EQ(text.find("Press '?' for help"), std::string::npos) << text;
    EXPECT_EQ(text.find("Firmware version"), std::string::npos) << text;  // -v never ran
    EXPECT_EQ(text.find("address: 3F80h"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 17), "\nProgram finished") << text;
    EXPECT_EQ(testing_support::ReadFile(backup), "the old backup\n") << args[1];
    EXPECT_EQ(NewFilesIn(dir_), 0) << args[1];
  }
}

TEST_F(ProgramTest, StandardErrorCarriesOnlyRealFailuresInPlainWords) {
  // Slot 16 fails every call, but no debug file was asked for: nothing about Debug.txt.
  Outcome o = Run({"1", "-@16", "-T"});
  EXPECT_EQ(o.out.find("Debug.txt"), std::string::npos) << o.out;
  o = Run({"0", "-T"});
  EXPECT_NE(o.out.find("COM0: no device has this number (COM numbers run from 1 to 255)\n"),
            std::string::npos)
      << o.out;
}

TEST_F(ProgramTest, ComNumbersOutsideTheRangeNeverReachAnotherPort) {
  // COM1 is a simulated device: a number that wrapped to 1 would open it.
  const Outcome zero = Run({"0", "-T"});
  ASSERT_EQ(zero.out.rfind("Wrong COMNumber specified: 0, allowed range: 1..255\n", 0), 0u) << zero.out;
  for (const std::string number : {"256", "257", "65537", "4294967295"}) {
    const Outcome o = Run({number, "-T"});
    std::string expected = zero.out;
    expected.replace(expected.find("specified: 0,"), 13, "specified: " + number + ",");
    expected.replace(expected.find("COM0: "), 6, "COM" + number + ": ");
    EXPECT_EQ(o.out, expected) << number;
    EXPECT_EQ(o.status, 0);
  }
  // A text that does not fit 32 bits, or a negative one, is an argument error.
  for (const std::string number : {"4294967296", "4294967297", "-1"}) {
    const Outcome o = Run({number, "-T"});
    EXPECT_EQ(o.status, 255) << number;
    EXPECT_NE(o.out.find("Error parsing argument #1: " + number + "\n"), std::string::npos) << o.out;
  }
}

// Scripts: ports by name, the listing of ports, failures a script can see, and answers given.

TEST_F(ProgramTest, PortsByNameInPlaceOfTheComNumber) {
  // A simulated device kept in a file, by name; its stored state is there afterwards.
  Outcome o = Run({"sim:" + dir_ + "/named.txt", "-q", "-KS1", "-v", "-T"});
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("Hardware type: 4B53h"), std::string::npos) << o.out;
  EXPECT_NE(testing_support::ReadFile(dir_ + "/named.txt").find("config 0 3 "), std::string::npos);
  // The same device path by a link to it, as /dev/serial/by-id names a port.
  std::string pty;
  testing_support::Child sim = StartSimOnPty("", pty);
  ASSERT_EQ(symlink(pty.c_str(), (dir_ + "/usb-KESTRAVO-if00").c_str()), 0);
  for (const std::string& name : {pty, dir_ + "/usb-KESTRAVO-if00"}) {
    o = Run({name, "-v", "-T"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("Hardware type: 4B53h"), std::string::npos) << name << ": " << o.out;
  }
  kill(sim.pid, SIGTERM);
  testing_support::Finish(sim);
  // A name of no kind is an argument error.
  o = Run({"nosuchport", "-T"});
  EXPECT_EQ(o.status, 255);
}

TEST_F(ProgramTest, AnUnmappedComNumberSaysWhichDeviceItOpens) {
  // COM200 is not mapped: its fallback device is named before the opening (and does not exist).
  Outcome o = Run({"200", "-T"});
  EXPECT_NE(o.out.find("COM200: KESTRAVO_COM200 is not set: opening /dev/ttyS199\n"), std::string::npos)
      << o.out;
  o = Run({"1", "-T"});
  EXPECT_EQ(o.out.find("is not set"), std::string::npos) << o.out;
}

TEST_F(ProgramTest, TheListOfPortsComesFromTheFileSystemAndOpensNothing) {
  // A machine image: a by-id link, a USB and an ACM adapter, one UART and one name without a UART.
  const std::string root = dir_ + "/image";
  ASSERT_EQ(std::system(("mkdir -p '" + root + "/dev/serial/by-id' '" + root + "/sys/class/tty/ttyS0' '" +
                         root + "/sys/class/tty/ttyS1' '" + root + "/sys/class/tty/console' && cd '" + root +
                         "' && touch dev/ttyUSB0 dev/ttyACM3 dev/ttyS0 dev/ttyS1 dev/tty0 && "
                         "ln -s ../../ttyUSB0 dev/serial/by-id/usb-FTDI_KESTRAVO-if00-port0 && "
                         "echo 4 > sys/class/tty/ttyS0/type && echo 0 > sys/class/tty/ttyS1/type && "
                         "echo 'tty0 ttyS0' > sys/class/tty/console/active")
                            .c_str()),
            0);
  // Every open of a file in the image is seen.
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, (root + "/dev").c_str(), IN_OPEN), 0);
  Outcome o = Run({"--list", root});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            "/dev/serial/by-id/usb-FTDI_KESTRAVO-if00-port0 -> /dev/ttyUSB0\n"
            "/dev/ttyUSB0\n"
            "/dev/ttyACM3\n"
            "/dev/ttyS0 (the kernel's console)\n");
  char events[4096];
  const ssize_t n = read(watch, events, sizeof events);
  for (ssize_t at = 0; at < n;) {
    const auto* e = reinterpret_cast<const inotify_event*>(events + at);
    EXPECT_TRUE(e->mask & IN_ISDIR) << "opened " << (e->len ? e->name : "?");
    at += ssize_t(sizeof(inotify_event) + e->len);
  }
  close(watch);
  // An image that is not there is an error, not a machine without ports; an empty one has none.
  o = Run({"--list", root + "/missing"});
  EXPECT_EQ(o.status, 4);
  EXPECT_NE(o.out.find("COM-KESTRAVO-Control: --list: " + root + "/missing: no such file or directory\n"),
            std::string::npos)
      << o.out;
  EXPECT_EQ(o.out.find("No serial ports found"), std::string::npos) << o.out;
  ASSERT_EQ(mkdir((root + "/empty").c_str(), 0700), 0);
  o = Run({"--list", root + "/empty"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "No serial ports found\n");
  // A user who may not open a port is told so (root may open anything).
  if (geteuid() != 0) {
    chmod((root + "/dev/ttyACM3").c_str(), 0);
    o = Run({"--list", root});
    EXPECT_NE(o.out.find("/dev/ttyACM3 (not for this user: it may need to be in the 'dialout' group)\n"),
              std::string::npos)
        << o.out;
  }
}

TEST_F(ProgramTest, AListingOfAHostileImageOpensNothingAndEnds) {
  // FIFOs where sysfs files should be (an open would wait for a writer) and a link to a terminal (an
  // open would make it the program's, and on a UART raise DTR): none is opened, the listing ends.
  const std::string root = dir_ + "/image";
  ASSERT_EQ(std::system(("mkdir -p '" + root + "/sys/class/tty/ttyS7' '" + root + "/sys/class/tty/ttyS8' '" +
                         root + "/sys/class/tty/console' '" + root + "/dev' && touch '" + root +
                         "/dev/ttyS7' '" + root + "/dev/ttyS8'")
                            .c_str()),
            0);
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  const std::string fifo_type = root + "/sys/class/tty/ttyS7/type",
                    fifo_console = root + "/sys/class/tty/console/active";
  ASSERT_EQ(mkfifo(fifo_type.c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(fifo_console.c_str(), 0600), 0);
  ASSERT_EQ(symlink(slave.c_str(), (root + "/sys/class/tty/ttyS8/type").c_str()), 0);
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  for (const std::string& path : {fifo_type, fifo_console, slave})
    ASSERT_GE(inotify_add_watch(watch, path.c_str(), IN_OPEN), 0) << path;
  testing_support::Child child = Start({"--list", root}, true);
  testing_support::SendAndClose(child, "");
  // Bounded: a listing that waits on a FIFO is killed and fails the test.
  int status = -1;
  for (int i = 0; i < 200 && waitpid(child.pid, &status, WNOHANG) == 0; ++i) usleep(50000);
  if (waitpid(child.pid, &status, WNOHANG) == 0) {
    kill(child.pid, SIGKILL);
    ADD_FAILURE() << "the listing did not end";
  }
  std::string out;
  testing_support::ReadToEnd(child, out);
  testing_support::Finish(child);
  EXPECT_EQ(out, "No serial ports found\n");
  char events[4096];
  EXPECT_LE(read(watch, events, sizeof events), 0) << "the listing opened a FIFO or the terminal";
  close(watch);
  close(master);
}

TEST_F(ProgramTest, NamesWithControlCharactersArePrintedEscaped) {
  // A name that would set the terminal's title, and one that would forge a line of its own.
  const std::string root = dir_ + "/image";
  ASSERT_EQ(mkdir(root.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((root + "/dev").c_str(), 0700), 0);
  for (const std::string& name : {std::string("ttyUSB\x1b]0;owned\x07"), std::string("ttyUSB\nttyFAKE")}) {
    FILE* f = std::fopen((root + "/dev/" + name).c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  Outcome o = Run({"--list", root});
  EXPECT_EQ(o.out, "/dev/ttyUSB\\x0AttyFAKE\n/dev/ttyUSB\\x1B]0;owned\\x07\n") << o.out;
  // A file name in a message, here one that does not open.
  o = Run({"1", "-q", "-Kl", "a\x1b[2Jb.ini", "-T"});
  EXPECT_NE(o.out.find("Error opening the data file 'a\\x1B[2Jb.ini'\n"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find('\x1b'), std::string::npos) << o.out;
}

TEST_F(ProgramTest, StrictRunsEndAtTheFirstFailureWithAStatusThatSaysWhat) {
  // The device on COM2 is missing; the device refuses a data rate of 1 baud; the switch -P9 does not
  // parse; -Kl reads a file that is not there.
  struct Case {
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> env;
    int strict, plain;
    const char* stderr_line;
  };
  const Case cases[] = {
      {{"2", "-v", "-T"}, {}, 2, 0, "Error opening the port\n"},
      {{"1", "-$1", "-v", "-T"}, {}, 3, 0, "Error at COM_KESTRAVO_SetBaudRate"},
      {{"1", "-P9D1", "-T"}, {}, 4, 255, nullptr},
      {{"1", "-Kl", "missing.ini", "-v", "-T"},
       {},
       5,
       0,
       "COM-KESTRAVO-Control: missing.ini: No such file or directory\n"},
      {{"1", "-v", "-T"}, {}, 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    std::vector<std::string> strict = {"--strict"};
    strict.insert(strict.end(), c.args.begin(), c.args.end());
    // Standard error apart, to see what a strict run adds there.
    env_ = c.env;
    testing_support::Child child = Start(strict, false);
    testing_support::SendAndClose(child, "");
    std::string out;
    testing_support::ReadToEnd(child, out);
    EXPECT_EQ(testing_support::Finish(child), c.strict) << strict[1] << " " << strict[2] << ": " << out;
    if (c.strict == 3) {
      // The run ended at the failure: the next switch never ran.
      EXPECT_EQ(out.find("Hardware type"), std::string::npos) << out;
    }
    Outcome merged = Run(strict, "", c.env);
    if (c.stderr_line) {
      const std::string line = c.stderr_line;
      // The line stands on standard output as always, and once more on standard error; a file's
      // failure there as "program: file: reason".
      size_t first = merged.out.find(line), second = merged.out.find(line, first + 1);
      if (c.strict == 5)
        EXPECT_NE(first, std::string::npos) << merged.out;
      else
        EXPECT_NE(second, std::string::npos) << merged.out;
    }
    EXPECT_EQ(Run(c.args, "", c.env).status, c.plain) << c.args[1];  // without --strict: as always
  }
}

TEST_F(ProgramTest, YesAnswersTheQuestionsOfARestoreAndOfTheConfigurations) {
  // A backup, then a restore from a pipe that cannot answer: with --yes it runs. (The program's own
  // code on the virtual clock: 256 blocks at 9600 baud take no real time.)
  const std::vector<std::pair<std::string, std::string>> device = {
      {"KESTRAVO_VIRTUAL_CLOCK", "1"}, {"KESTRAVO_COM1", "sim:" + dir_ + "/mem-nv.txt"}};
  Outcome o = Run({"1", "-q", "-y", "mem.txt", "-T"}, "", device, KESTRAVO_TEST_PROGRAM_PATH);
  ASSERT_EQ(o.status, 0) << o.out;
  o = Run({"1", "-Y", "mem.txt", "-T"}, "", device, KESTRAVO_TEST_PROGRAM_PATH);
  EXPECT_EQ(o.out.find("Memory data loaded"), std::string::npos) << o.out;
  o = Run({"--yes", "1", "-Y", "mem.txt", "-T"}, "", device, KESTRAVO_TEST_PROGRAM_PATH);
  EXPECT_NE(
      o.out.find("Restore memory data? [y/n]: y\nAll memory data will be overwritten, proceed? [y/n]: y\n"),
      std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("Memory data loaded from file 'mem.txt'"), std::string::npos) << o.out;
  o = Run({"--yes", "sim:" + dir_ + "/nv.txt", "-KS1", "-KX1", "-T"});
  EXPECT_NE(o.out.find("Configuration #1 '' deleted"), std::string::npos) << o.out;
}

}  // namespace

namespace {

// Output with its blanks, tabs, commas and semicolons folded into single blanks: a continuous
// display's line and the once-only form then read alike.
std::string Folded(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\n' || c == ',' || c == ';';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

TEST_F(ProgramTest, PipedContinuousDisplaysPrintOnlyValuesThatWereRead) {
  // A steady device: one pass of each display, piped, reads as its once-only form; no template,
  // no placeholder. (Uptime moves, so its digits are left out of the comparison.)
  const std::vector<std::pair<std::string, std::string>> steady = {{"KESTRAVO_SIM_FAULTS", "steady=1"}};
  const char* pairs[][2] = {{"-W", "-w"}, {"-H", "-h"}, {"-C", "-c"}, {"-M", "-m"}, {"-F", "-f"},
                            {"-L", "-l"}, {"-I", "-i"}, {"-S", "-s"}, {"-U", "-u"}};
  for (const auto& pair : pairs) {
    const Outcome continuous = Run({"1", "-q", pair[0], "-T"}, "", steady);
    const Outcome once = Run({"1", "-q", pair[1], "-T"}, "", steady);
    ASSERT_EQ(continuous.status, 0) << continuous.out;
    EXPECT_EQ(std::count(continuous.out.begin(), continuous.out.end(), '\n'), 1) << continuous.out;
    std::string a = Folded(continuous.out), b = Folded(once.out);
    if (pair[0][1] == 'U') {
      for (std::string* s : {&a, &b}) std::replace_if(s->begin(), s->end(), ::isdigit, '#');
    }
    EXPECT_EQ(a, b) << pair[0];
  }
  // The data log's panel: one line with the values of its record.
  const Outcome log = Run({"1", "-q", "-x", "log.txt", "-T"}, "", steady);
  const std::string line = Folded(log.out.substr(0, log.out.find('\n')));
  EXPECT_NE(line.find(Folded(Run({"1", "-q", "-m", "-T"}, "", steady).out)), std::string::npos) << log.out;
  EXPECT_NE(line.find(Folded(Run({"1", "-q", "-h", "-T"}, "", steady).out)), std::string::npos) << log.out;
  EXPECT_EQ(log.out.substr(log.out.find('\n') + 1), "Data logging finished\n");

  // A pass whose reading failed prints its error line and nothing else of that pass.
  const Outcome failed = Run({"1", "-q", "-H", "-T"}, "x", {{"KESTRAVO_SIM_FAULTS", "steady=1,silent=1000"}});
  EXPECT_EQ(failed.out.find("12V:"), std::string::npos) << failed.out;
}

TEST_F(ProgramTest, AStrictRunSendsNothingAfterAFailedOpening) {
  // The device garbles its first reply, so the opening fails (and the slot stays open after its
  // repairs). What each switch would change is read back from the device afterwards.
  struct Case {
    const char* change;
    const char* read;
    const char* unchanged;
    const char* changed;
  };
  const Case cases[] = {
      {"-A", "-w", "software trigger:       0", "software trigger:       1"},
      {"-O1234", "-o", "Oscillator period: 998 ", "Oscillator period: 1234 "},
      {"-P2D1000", "-P2d", "Pulse delay of pulser #2: 0 (", "Pulse delay of pulser #2: 1000 ("},
  };
  for (const Case& c : cases) {
    for (bool strict : {true, false}) {
      std::string pty;
      testing_support::Child sim = StartSimOnPty("garble=1", pty);
      std::vector<std::string> args = {pty, c.change, "-T"};
      if (strict) args.insert(args.begin(), "--strict");
      const Outcome run = Run(args);
      EXPECT_EQ(run.status, strict ? 2 : 0) << c.change << ": " << run.out;
      const Outcome after = Run({pty, "-q", c.read, "-T"});
      // Without --strict the switch still reaches the device, as the original program does.
      EXPECT_NE(after.out.find(strict ? c.unchanged : c.changed), std::string::npos)
          << c.change << (strict ? " (strict): " : ": ") << after.out;
      kill(sim.pid, SIGTERM);
      testing_support::Finish(sim);
    }
  }
  // A device that is not there, and a remote port that hangs up: status 2 and no switch runs.
  for (const std::vector<std::pair<std::string, std::string>>& env :
       {std::vector<std::pair<std::string, std::string>>{{"KESTRAVO_SIM_FAULTS", "off=1"}},
        std::vector<std::pair<std::string, std::string>>{{"KESTRAVO_COM1", "rfc2217://127.0.0.1:1"}}}) {
    const Outcome run = Run({"--strict", "1", "-O1234", "-T"}, "", env);
    EXPECT_EQ(run.status, 2) << run.out;
    EXPECT_EQ(run.out.find("Oscillator period"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Error at"), std::string::npos) << run.out;
  }
}

TEST_F(ProgramTest, AStrictRunFailsWhenACommandDidNotHappen) {
  // Every outcome in which a command did not do what it was asked, and the status a strict run ends
  // with; the line stands on standard error too. Place 1 is saved, then deleted; place 5 is empty.
  ASSERT_EQ(Run({"--yes", "sim:" + dir_ + "/nv.txt", "-q", "-KS1", "-KX1", "-T"}).status, 0);
  mkdir((dir_ + "/Debug.txt").c_str(), 0700);  // a debug file that cannot be opened
  {
    FILE* f = std::fopen((dir_ + "/empty.ini").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("[Other]\nName=x\n", f);
    std::fclose(f);
  }
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* line;
  };
  const Case cases[] = {
      {{"-KL5"}, 3, "Configuration #5 is invalid!\n"},
      {{"-KL1"}, 3, "Configuration #1 '' is deleted!\n"},
      {{"-Kw5", "out.ini"}, 3, "Cannot save the configuration #5 since it is invalid!\n"},
      {{"-Kw1", "out.ini"}, 3, "Cannot save the configuration #1 '' since it was deleted!\n"},
      {{"-Kn5"}, 3, "Cannot get the name of the configuration #5 since it is invalid!\n"},
      {{"-KN5", "name"}, 3, "Cannot set the name of the configuration #5 since it is invalid!\n"},
      {{"-KX5"}, 3, "Cannot delete the configuration #5 since it is invalid!\n"},
      {{"-Kx5"}, 3, "Cannot undelete the configuration #5 since it is invalid!\n"},
      {{"-KX1"}, 3, "Configuration #1 '' is already deleted!\n"},
      {{"-KW", "all.ini"}, 3, "No valid configurations found\n"},
      {{"-KR", "empty.ini"}, 5, "No configurations found\n"},
      {{"-G"}, 5, "Debug.txt: "},
      // The user's own 'n' is a choice, not a failure.
      {{"-Kx1"}, 0, nullptr},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--strict", "sim:" + dir_ + "/nv.txt"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"-v", "-T"});
    testing_support::Child child = Start(args, false);
    testing_support::SendAndClose(child, "n");
    std::string out;
    testing_support::ReadToEnd(child, out);
    EXPECT_EQ(testing_support::Finish(child), c.status) << c.args[0] << ": " << out;
    if (!c.line) continue;
    // The run ended there: the next switch never ran.
    EXPECT_EQ(out.find("Hardware type"), std::string::npos) << c.args[0] << ": " << out;
    const Outcome merged = Run(args, "n");
    const size_t first = merged.out.find(c.line);
    EXPECT_NE(first, std::string::npos) << c.args[0] << ": " << merged.out;
    // On both streams; the debug file's line has always stood on standard error alone.
    if (c.args[0] == "-G") {
      // Nothing reaches the device: not even the opening that ends a run without one.
      EXPECT_EQ(merged.out.find("Opening COM"), std::string::npos) << merged.out;
      EXPECT_EQ(merged.out.find("Error closing"), std::string::npos) << merged.out;
    } else if (c.status == 5) {
      // A file's failure stands on standard error as "program: file: reason".
      EXPECT_NE(merged.out.find("\nCOM-KESTRAVO-Control: " + c.args[1] + ": "), std::string::npos)
          << merged.out;
    } else {
      EXPECT_NE(merged.out.find(c.line, first + 1), std::string::npos) << c.args[0] << ": " << merged.out;
    }
  }
}

TEST_F(ProgramTest, AStrictArgumentErrorIsOneLineOnStandardError) {
  struct Case {
    std::vector<std::string> args;
    const char* line;
  };
  const Case cases[] = {
      {{"--strict", "1", "-P9D1000", "-T"}, "Error parsing argument #3: -P9D1000\n"},
      {{"--strict", "x"}, "Error parsing argument #2: x\n"},
      {{"--strict"}, "Error parsing argument #2: argument not available\n"},
      // After the port the option holds all the same, for the switches before it too.
      {{"1", "-P9D1000", "--strict", "-T"}, "Error parsing argument #2: -P9D1000\n"},
  };
  for (const Case& c : cases) {
    testing_support::Child child = Start(c.args, false);
    testing_support::SendAndClose(child, "");
    std::string out;
    testing_support::ReadToEnd(child, out);
    EXPECT_EQ(testing_support::Finish(child), 4) << c.line;
    EXPECT_EQ(out, c.line);  // standard output: the error line alone, no usage text
    const Outcome merged = Run(c.args);
    EXPECT_EQ(merged.out,
              std::string(c.line) + c.line + "Try 'COM-KESTRAVO-Control --help' for more information.\n");
  }
  // --yes after the port answers as before it; --strict among the switches is no switch.
  const Outcome first = Run({"--yes", "sim:" + dir_ + "/a.txt", "-KS1", "-KX1", "-T"});
  const Outcome second = Run({"sim:" + dir_ + "/b.txt", "-KS1", "--strict", "-KX1", "-T", "--yes"});
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(second.status, 0);
  std::string expected = first.out;
  expected.replace(expected.find("/a.txt"), 6, "/b.txt");
  EXPECT_EQ(second.out, expected);
  // Without --strict the usage output stays.
  EXPECT_NE(Run({"1", "-P9D1000", "-T"}).out.find("\nUsage: COM-KESTRAVO-Control"), std::string::npos);
}
