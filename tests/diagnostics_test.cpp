// Maintenance and diagnostics against the simulated device on the virtual clock: memory backup and
// restore, the communication test, the test protocol against a golden report, and the data log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "COM-KESTRAVO.h"
#include "control/diagnostics/diagnostics.h"
#include "control/keyloop.h"
#include "model/memory_backup.h"
#include "ports/inproc.h"
#include "tests/support/console_fixture.h"

#ifndef KESTRAVO_TEST_DATA
#define KESTRAVO_TEST_DATA "tests/data"
#endif

namespace {

using testing_support::ReadFile;
using testing_support::TempPath;

// A simulated device behind a recorder: the time of every command's letter, and commands that
// are swallowed (never answered) when `drop` says so.
class RecordingPeer : public ports::InProcPeer {
 public:
  explicit RecordingPeer(std::shared_ptr<sim::Device> device) : device_(std::move(device)) {}
  void Attach(ports::PcEnd* pc) override { device_->Attach(pc); }
  void Receive(uint64_t at_us, uint8_t value, const ports::LineParams& pc) override {
    frame_.push_back({at_us, value, pc});
    if (value != '\r') return;
    const char letter = char(frame_[0].value);
    letters.push_back({frame_[0].at_us / 1000, letter});
    const bool dropped = drop && drop(letter);
    for (const Byte& b : frame_)
      if (!dropped) device_->Receive(b.at_us, b.value, b.pc);
    frame_.clear();
  }
  void Control(uint64_t now_us, bool dtr, bool rts) override { device_->Control(now_us, dtr, rts); }
  uint32_t Modem(uint64_t now_us) override { return device_->Modem(now_us); }

  std::vector<std::pair<uint64_t, char>> letters;  // (ms, letter) of every command
  std::function<bool(char)> drop;

  // The times of the commands with this letter.
  std::vector<uint64_t> TimesOf(char letter) const {
    std::vector<uint64_t> t;
    for (auto [ms, l] : letters)
      if (l == letter) t.push_back(ms);
    return t;
  }

 private:
  struct Byte {
    uint64_t at_us;
    uint8_t value;
    ports::LineParams pc;
  };
  std::shared_ptr<sim::Device> device_;
  std::vector<Byte> frame_;
};

class DiagnosticsTest : public testing_support::ConsoleTest {
 protected:
  // Slot 0 moves to a recorded simulated device on COM 7.
  std::shared_ptr<RecordingPeer> Record(bool steady = false) {
    COM_KESTRAVO_Close(0);
    auto device = std::make_shared<sim::Device>();
    std::string error;
    EXPECT_TRUE(device->Init(error));
    device->faults.steady = steady;
    auto peer = std::make_shared<RecordingPeer>(device);
    testing_support::AttachPeer(7, peer);
    EXPECT_EQ(COM_KESTRAVO_Open(0, 7), 0);
    recorded_ = device;
    return peer;
  }
  std::vector<uint8_t> Memory() {
    std::vector<uint8_t> m(model::kMemorySize);
    for (uint32_t a = 0; a < model::kMemorySize; a += 512)
      EXPECT_EQ(COM_KESTRAVO_GetMemoryData(0, a, 512, &m[a]), 0);
    return m;
  }
  void FillMemory(uint8_t seed) {
    std::vector<uint8_t> m(model::kMemorySize);
    for (size_t i = 0; i < m.size(); ++i) m[i] = uint8_t(i * 7 + seed + (i >> 8));
    for (uint32_t a = 0; a < model::kMemorySize; a += 512)
      ASSERT_EQ(COM_KESTRAVO_SetMemoryData(0, a, 512, &m[a]), 0);
    ASSERT_EQ(COM_KESTRAVO_UpdateMemoryData(0), 0);
  }
  void Write(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "w");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  void TearDown() override {
    for (const std::string& p : {backup_, report_, log_}) std::remove(p.c_str());
    ConsoleTest::TearDown();
  }
  std::shared_ptr<sim::Device> recorded_;
  std::string backup_ = TempPath("memory.txt"), report_ = TempPath("report.txt"), log_ = TempPath("log.txt");
};

TEST(BackupFormat, LinesAndParsing) {
  const uint8_t bytes[] = {0x00, 0xAB, 0x0F};
  EXPECT_EQ(model::BackupLines(bytes, 3), "00\nAB\n0F\n");
  std::vector<uint8_t> m(model::kMemorySize);
  bool too_long = true;
  std::string text;
  for (uint32_t i = 0; i < model::kMemorySize; ++i) text += i % 2 ? "ff\n\n" : " 1\r\n";  // case, blanks
  ASSERT_TRUE(model::ParseBackup(text, m.data(), too_long));
  EXPECT_FALSE(too_long);
  EXPECT_EQ(m[0], 1);
  EXPECT_EQ(m[1], 0xFF);
  EXPECT_TRUE(model::ParseBackup(text + "00\n", m.data(), too_long));
  EXPECT_TRUE(too_long);
  EXPECT_FALSE(model::ParseBackup(text.substr(0, text.size() - 4), m.data(), too_long));  // 16383 values
  std::string bad = text;
  bad[100] = 'g';
  EXPECT_FALSE(model::ParseBackup(bad, m.data(), too_long));
  // A line of three digits gives its third digit as the next value: the file is then too long.
  std::string three = "123\n" + text.substr(4);
  ASSERT_TRUE(model::ParseBackup(three, m.data(), too_long));
  EXPECT_EQ(m[0], 0x12);
  EXPECT_EQ(m[1], 0x03);
  EXPECT_TRUE(too_long);
}

TEST_F(DiagnosticsTest, BackupAndRestoreRoundTripAndBadFilesChangeNothing) {
  FillMemory(3);
  const std::vector<uint8_t> saved = Memory();
  // Quiet: no progress lines at all.
  control::State.quiet = true;
  testing::internal::CaptureStderr();
  control::BackupMemory(backup_.c_str());
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  const std::string file = ReadFile(backup_);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 16384);
  FillMemory(99);
  const std::vector<uint8_t> other = Memory();

  const std::string bad_files[] = {
      file.substr(0, file.size() - 3),  // 16383 values
      file + "00\n",                    // one too many
      file.substr(0, 3000) + "x" + file.substr(3001),
  };
  for (const std::string& bad : bad_files) {
    Write(backup_, bad);
    Type({"", "y\n", "y\n"});
    control::RestoreMemory(backup_.c_str());
    EXPECT_EQ(Memory(), other);
  }
  EXPECT_EQ(Out(),
            "Restore memory data? [y/n]: \nAll memory data will be overwritten, proceed? [y/n]: \n"
            "Error reading the data file '" +
                backup_ +
                "'\n"
                "Restore memory data? [y/n]: \nAll memory data will be overwritten, proceed? [y/n]: \n"
                "Warning: Data file '" +
                backup_ +
                "' too long\n"
                "Restore cancelled: nothing was written to the device\n"
                "Restore memory data? [y/n]: \nAll memory data will be overwritten, proceed? [y/n]: \n"
                "Error reading the data file '" +
                backup_ + "'\n");

  // The confirmations: no, end of input, then yes twice.
  Write(backup_, file);
  for (const std::vector<std::string>& answers :
       {std::vector<std::string>{"", "n\n"}, {"", "y\n", "n\n"}, {"", "y\n"}, {""}}) {
    Type(answers);
    control::RestoreMemory(backup_.c_str());
    EXPECT_EQ(Memory(), other);
  }
  Out();
  // Not quiet, the output no terminal: the progress lines on standard error, the results alone on
  // standard output.
  control::State.quiet = false;
  Type({"", "y\n", "Y\n"});
  testing::internal::CaptureStderr();
  control::RestoreMemory(backup_.c_str());
  const std::string progress = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Memory(), saved);
  const std::string out = Out();
  EXPECT_NE(out.find("Loading memory data (size=4000h):\nMemory data loaded from file '" + backup_ + "'\n"),
            std::string::npos);
  EXPECT_EQ(out.find("Setting memory data"), std::string::npos);
  EXPECT_EQ(progress.rfind("Setting memory data, address: 0000h\nSetting memory data, address: 0080h\n", 0),
            0u);
  EXPECT_EQ(std::count(progress.begin(), progress.end(), '\n'), 128);
}

TEST_F(DiagnosticsTest, ABackupWhoseLinkFailsLeavesTheOldBackup) {
  auto peer = Record();
  Write(backup_, "the old backup\n");
  int reads = 0;
  peer->drop = [&](char letter) { return letter == 'Y' && ++reads > 40; };  // block 40 is not answered
  testing::internal::CaptureStderr();
  control::BackupMemory(backup_.c_str());
  const std::string progress = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadFile(backup_), "the old backup\n");
  const std::string out = Out();
  EXPECT_NE(out.find("Error at COM_KESTRAVO_GetMemoryData: Error receiving command"), std::string::npos)
      << out;
  EXPECT_NE(progress.find("Getting memory data, address: 1400h\n"), std::string::npos) << progress;
  EXPECT_EQ(progress.find("address: 1480h"), std::string::npos) << progress;
  EXPECT_EQ(out.find("saved"), std::string::npos);
}

TEST_F(DiagnosticsTest, CommunicationTestStopsOnEscAndOnALineFault) {
  std::srand(1);
  Type({"", "x", "\x1b"});  // a key other than Esc goes on
  testing::internal::CaptureStderr();
  control::CommunicationTest();
  const std::string runs = testing::internal::GetCapturedStderr();
  control::State.quiet = true;
  std::string out = Out();
  EXPECT_NE(runs.find("  run #3 ("), std::string::npos) << runs;
  EXPECT_EQ(runs.find("  run #4 ("), std::string::npos) << runs;
  EXPECT_NE(out.find("Test finished after 3 cycles, "), std::string::npos) << out;

  device_->faults.garble = 1;
  Type({});
  control::CommunicationTest();
  EXPECT_EQ(Out(),
            "\nCycle #0\nError at COM_KESTRAVO_Test: Wrong command received, I/O Error Message: No error\n");
  EXPECT_EQ(control::TransferRate(1024, 0), 0.0);
  EXPECT_DOUBLE_EQ(control::TransferRate(4294967295u, 1), 4294967295.0 * 1000 / 1024);  // no 32-bit overflow
}

TEST(ReadingStats, MeanSigmaAndExtremesOfNoneOneAndFourSamples) {
  control::ReadingStats none;
  EXPECT_EQ(none.Mean(), 0.0);
  EXPECT_EQ(none.Sigma(), 0.0);
  control::ReadingStats one;
  one.Add(5);
  EXPECT_EQ(one.Mean(), 5.0);
  EXPECT_EQ(one.Sigma(), 0.0);
  control::ReadingStats four;
  for (double x : {4.0, 1.0, 3.0, 2.0}) four.Add(x);
  EXPECT_DOUBLE_EQ(four.Mean(), 2.5);
  EXPECT_DOUBLE_EQ(four.Sigma(), std::sqrt(1.25));
  EXPECT_EQ(four.Min, 1.0);
  EXPECT_EQ(four.Max, 4.0);
}

// The report of a steady device, against the golden file; the time stamp of its first line aside.
TEST_F(DiagnosticsTest, TestProtocolReportAndItsOneSecondGrid) {
  auto peer = Record(true);
  recorded_->faults.slow_ms = 300;  // slow replies do not move the grid
  control::TestProtocol(report_.c_str());
  std::string report = ReadFile(report_);
  const std::string stamp = "Test protocol created at ";
  ASSERT_EQ(report.rfind(stamp, 0), 0u);
  report.replace(stamp.size(), report.find('\n') - stamp.size(), "<time>");
  const std::string golden_path = std::string(KESTRAVO_TEST_DATA) + "/test_protocol.txt";
  if (std::getenv("KESTRAVO_WRITE_GOLDEN")) {  // to make a new golden file, which is then read by hand
    FILE* g = std::fopen(golden_path.c_str(), "w");
    std::fwrite(report.data(), 1, report.size(), g);
    std::fclose(g);
  }
  const std::string golden = ReadFile(golden_path);
  std::vector<std::string> got, want;
  for (auto [text, lines] :
       {std::pair<const std::string*, std::vector<std::string>*>{&report, &got}, {&golden, &want}})
    for (size_t at = 0; at < text->size();) {
      const size_t end = text->find('\n', at);
      lines->push_back(text->substr(at, end - at));
      at = end == std::string::npos ? text->size() : end + 1;
    }
  // The uptimes depend on how long the link took; their form is checked, their values are not.
  for (std::string& line : got)
    if (line.rfind("Device uptime: ", 0) == 0) {
      EXPECT_TRUE(std::regex_match(
          line, std::regex("Device uptime: [0-9]+:[0-5][0-9]:[0-5][0-9]\\.[0-9][0-9] sec\\.")))
          << line;
      line = "Device uptime: <uptime>";
    }
  ASSERT_EQ(got.size(), want.size()) << report;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
  Out();

  // Eleven CPU readings and thirty others, one second apart, however long each reply took.
  const std::vector<uint64_t> cpu = peer->TimesOf('C');
  ASSERT_EQ(cpu.size(), 12u);  // the first one is dropped
  // The grid is the millisecond tick: a reading may start within that millisecond, never later.
  for (size_t i = 2; i < cpu.size(); ++i) EXPECT_NEAR(double(cpu[i] - cpu[i - 1]), 1000.0, 1.0) << i;
  EXPECT_NEAR(double(cpu.back() - cpu[1]), 10000.0, 1.0);
  std::vector<uint64_t> grid = peer->TimesOf('H');
  for (char letter : {'T', 'B'})
    for (uint64_t t : peer->TimesOf(letter)) grid.push_back(t);
  ASSERT_EQ(grid.size(), 30u);
  for (size_t i = 1; i < grid.size(); ++i) EXPECT_NEAR(double(grid[i] - grid[i - 1]), 1000.0, 1.0) << i;
  EXPECT_NEAR(double(grid.back() - grid.front()), 29000.0, 1.0);  // no drift
}

TEST_F(DiagnosticsTest, TestProtocolAbortPaths) {
  auto peer = Record(true);
  peer->drop = [](char letter) { return letter == 'B'; };  // the fan data never comes
  control::TestProtocol(report_.c_str());
  const std::string report = ReadFile(report_);
  EXPECT_NE(report.find("\nSensor data:\n"), std::string::npos);
  EXPECT_EQ(report.substr(report.find("\nSensor data:\n")).find("\nFan data"), std::string::npos);
  EXPECT_EQ(report.substr(report.size() - 45), "\n\n!!!Test protocol aborted due to failure!!!\n");
  const std::string out = Out();
  EXPECT_NE(out.find("Error at COM_KESTRAVO_GetFanData: Error receiving command"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 43), "!!!Test protocol aborted due to failure!!!\n");

  // An identity call that fails once is tried again without a word; a second failure counts.
  int product_reads = 0;
  peer->drop = [&](char letter) { return letter == 'N' && ++product_reads == 1; };
  recorded_->faults.silent = 0;
  ASSERT_EQ(COM_KESTRAVO_Purge(0), 0);
  control::TestProtocol(report_.c_str());
  EXPECT_EQ(Out().find("Error at"), std::string::npos);
  peer->drop = [](char letter) { return letter == 'N'; };
  control::TestProtocol(report_.c_str());
  EXPECT_NE(Out().find("Error at COM_KESTRAVO_GetProductNo"), std::string::npos);
  EXPECT_EQ(ReadFile(report_).find("Product number"), std::string::npos);

  EXPECT_EQ(control::State.debug, false);
  control::TestProtocol("/nonexistent/dir/report.txt");
  EXPECT_EQ(Out(), "Cannot open the data file /nonexistent/dir/report.txt\n");
}

TEST_F(DiagnosticsTest, TheWaitForTenSecondsOfUptimeIsBounded) {
  // A device whose uptime stays at 3 s: the protocol gives up after 20 s of PC time.
  COM_KESTRAVO_Close(0);
  auto peer = NewPeer(8);
  peer->responder = [](const std::string& f) -> std::string {
    const std::pair<const char*, const char*> replies[] = {
        {"z", "zY"},           {"N", "N00012345"}, {"P", "PKESTRAVO"}, {"V", "V0103"},
        {"D", "DMar 14 2024"}, {"t", "t4B53"},     {"v", "v0102"},     {"U", "U000000038000000000"}};
    for (auto [frame, reply] : replies)
      if (f == frame) return std::string(reply) + "\r";
    return "";
  };
  ASSERT_EQ(COM_KESTRAVO_Open(0, 8), 0);
  const uint64_t start = platform::TickMs();
  control::TestProtocol(report_.c_str());
  const uint64_t took = platform::TickMs() - start;
  EXPECT_GE(took, 20000u);
  EXPECT_LT(took, 22000u);
  const std::string report = ReadFile(report_);
  EXPECT_NE(report.find("\nWaiting for uptime of 10s...\n"), std::string::npos) << report;
  EXPECT_EQ(report.substr(report.size() - 45), "\n\n!!!Test protocol aborted due to failure!!!\n");
  EXPECT_EQ(report.find("CPU data"), std::string::npos);
  // The console says why before it says that the protocol was aborted.
  const std::string out = Out();
  EXPECT_NE(out.find("\nThe device's uptime did not reach 10 s within 20 s\n!!!Test protocol aborted due to "
                     "failure!!!\n"),
            std::string::npos)
      << out;
}

TEST_F(DiagnosticsTest, AFullDiskEndsTheDataLogWithTheReason) {
  control::State.quiet = true;
  Type(std::vector<std::string>(200, ""));  // keys never come: only the failure can end the log
  control::DataLog("/dev/full");
  const std::string out = Out();
  EXPECT_NE(
      out.find("\nError writing the data file '/dev/full': No space left on device\nData logging finished\n"),
      std::string::npos)
      << out;
}

TEST_F(DiagnosticsTest, ARestoreFromAnEndlessFileIsRefusedWithinItsBound) {
  const std::vector<uint8_t> before = Memory();
  Type({"", "y\n", "y\n"});
  control::RestoreMemory("/dev/zero");
  EXPECT_EQ(Out(),
            "Restore memory data? [y/n]: \nAll memory data will be overwritten, proceed? [y/n]: \n"
            "Loading memory data (size=4000h):\n"
            "Data file '/dev/zero' is longer than 1048576 bytes: not read\n"
            "Error opening the data file '/dev/zero'\n");
  EXPECT_EQ(Memory(), before);
}

TEST_F(DiagnosticsTest, DataLogKeepsItsGridAndStopsOnEsc) {
  control::State.quiet = true;
  // Esc at once: the header and one record.
  Type({"\x1b"});
  control::DataLog(log_.c_str());
  std::string log = ReadFile(log_);
  EXPECT_EQ(log.rfind("Uptime\tSensor1\tSensor2\tSensor3\t12V\t5V0\t3V3\tCPU\tFan1\tFan2\tFan3\n", 0), 0u);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\t'), 20);
  EXPECT_NE(Out().find("Data logging finished\n"), std::string::npos);

  // 10,000 records on the 250 ms grid, each starting exactly 250 ms after the one before; a key
  // other than Esc is dropped.
  auto peer = Record();
  std::vector<std::string> keys(20000, "");  // the user looks twice a record
  keys[9000] = "x";
  keys.push_back("\x1b");
  Type(keys);
  control::DataLog(log_.c_str());
  log = ReadFile(log_);
  const size_t records = size_t(std::count(log.begin(), log.end(), '\n')) - 1;
  EXPECT_GE(records, 10000u);
  const std::vector<uint64_t> starts = peer->TimesOf('U');
  ASSERT_EQ(starts.size(), records);
  for (size_t i = 1; i < starts.size(); ++i) ASSERT_NEAR(double(starts[i] - starts[i - 1]), 250.0, 1.0) << i;
  EXPECT_NEAR(double(starts.back() - starts.front()), 250.0 * double(starts.size() - 1), 1.0);  // no drift
  EXPECT_EQ(Out().find('x'), std::string::npos);

  // A link failure in the middle of a record leaves a last line with only its first fields.
  peer = Record();
  int sensor_reads = 0;
  peer->drop = [&](char letter) { return letter == 'T' && ++sensor_reads == 3; };
  Type({"", "", "", ""});
  control::DataLog(log_.c_str());
  log = ReadFile(log_);
  const std::string last = log.substr(log.rfind('\n') + 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
  EXPECT_NE(last.find('.'), std::string::npos);
  EXPECT_EQ(last.find('\t'), std::string::npos);
  EXPECT_NE(Out().find("\nError at COM_KESTRAVO_GetSensorData"), std::string::npos);
}

}  // namespace
