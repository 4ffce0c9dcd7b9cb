// The console's tools against the simulated device at line timing: saving and loading all 126
// stored configurations and backing up and restoring the memory, each against the time of their
// characters alone at 9600 and 115200 baud; the processor time of reading a file of 126
// configurations; the test protocol's length against its nominal 41 s; and the processor time the
// data log uses while it waits for its next record.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "COM-KESTRAVO.h"
#include "control/common/state.h"
#include "control/config/config.h"
#include "control/config/stored_calls.h"
#include "control/diagnostics/diagnostics.h"
#include "model/block_text.h"
#include "model/profile.h"
#include "platform/clock.h"
#include "platform/terminal.h"
#include "ports/inproc.h"
#include "ports/kinds.h"
#include "sim/sim.h"
#include "tests/support/console_script.h"
#include "tests/support/virtual_clock.h"

namespace {

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

std::shared_ptr<sim::Device> g_device;

// One run of a command: line time on the virtual clock against the characters' own time.
void Measure(const char* what, uint32_t baud, void (*command)(const char*), const char* path) {
  const uint64_t chars = g_device->characters();
  const uint32_t start = platform::GetTickCount();
  std::string sink;
  testing_support::CaptureOutput(&sink);  // the commands' own lines
  command(path);
  testing_support::CaptureOutput(nullptr);
  const double line = (platform::GetTickCount() - start) / 1000.0;
  const double wire = double(g_device->characters() - chars) * 11.0 / baud;
  std::printf("%-14s at %6u baud: measured %7.2f s, wire %7.2f s, ratio %.3f\n", what, baud, line, wire,
              line / wire);
}

}  // namespace

int main() {
  testing_support::UseVirtualClock(true);
  g_device = std::make_shared<sim::Device>();
  std::string error;
  g_device->Init(error);
  ports::RegisterKind("bench", [](const std::string&) { return ports::MakeInProcDevice(g_device); });
  setenv("KESTRAVO_COM1", "bench", 1);
  if (COM_KESTRAVO_Open(0, 1) != 0) return std::printf("cannot open the simulated device\n"), 1;
  control::State.PortNumber = 0;
  control::State.quiet = true;
  std::string sink;
  testing_support::CaptureOutput(&sink);
  for (uint32_t n = 0; n < COM_KESTRAVO_CONFIG_COUNT; ++n) {
    uint8_t block[COM_KESTRAVO_CONFIG_SIZE], name[COM_KESTRAVO_NAME_SIZE] = {};
    for (int i = 0; i < COM_KESTRAVO_CONFIG_SIZE; ++i) block[i] = uint8_t(n + i);
    std::snprintf(reinterpret_cast<char*>(name), sizeof name, "Configuration number %u", n + 1);
    COM_KESTRAVO_SetConfigData(0, n, block);
    COM_KESTRAVO_SetConfigName(0, n, name);
    COM_KESTRAVO_SetConfigFlags(0, n, 1, 1);
  }
  const std::string base = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                           "/kestravo-bench-" + std::to_string(getpid());
  const std::string path = base + ".ini", memory_path = base + ".mem", report_path = base + ".txt",
                    log_path = base + ".tsv";
  for (uint32_t baud : {9600u, 115200u}) {
    uint32_t rate = baud;
    if (COM_KESTRAVO_SetBaudRate(0, &rate) != 0) return std::printf("cannot set %u baud\n", baud), 1;
    testing_support::CaptureOutput(nullptr);
    Measure("save all 126", baud, control::SaveAllConfigsToFile, path.c_str());
    Measure("load all 126", baud, control::LoadAllConfigsFromFile, path.c_str());
    Measure("memory backup", baud, control::BackupMemory, memory_path.c_str());
    testing_support::ScriptInput({"", "y\n", "y\n"});
    Measure("memory restore", baud, control::RestoreMemory, memory_path.c_str());
  }

  // Reading the file alone: every entry of every section, as the load does.
  const int kRounds = 20;
  const double cpu = CpuSeconds();
  for (int round = 0; round < kRounds; ++round) {
    model::ProfileFile profile = control::ReadProfile(path.c_str());
    uint8_t block[75];
    std::string failed;
    for (uint32_t n = 1; n <= 126; ++n)
      model::ParseConfigText(profile, ("Configuration" + std::to_string(n)).c_str(), block, failed);
  }
  testing_support::CaptureOutput(nullptr);
  std::printf("reading a file of 126 configurations: %.2f ms of processor time\n",
              (CpuSeconds() - cpu) * 1000.0 / kRounds);

  // The test protocol on a device that is up for more than 10 s: 41 s of readings on their grid.
  uint32_t rate = 9600;
  COM_KESTRAVO_SetBaudRate(0, &rate);
  testing_support::AdvanceClock(11000);
  uint64_t start = platform::TickMs();
  testing_support::CaptureOutput(&sink);
  control::TestProtocol(report_path.c_str());
  testing_support::CaptureOutput(nullptr);
  const double length = (platform::TickMs() - start) / 1000.0;
  std::printf("test protocol at 9600 baud: %.2f s, nominal 41 s, ratio %.4f\n", length, length / 41.0);

  // The data log on the real clock: processor time against the time it ran, for 5 s.
  testing_support::UseVirtualClock(false);
  std::vector<std::string> keys(40, "");  // the user looks twice a record; then Esc
  keys.push_back("\x1b");
  testing_support::ScriptInput(keys);
  const double cpu_start = CpuSeconds();
  start = platform::TickMs();
  testing_support::CaptureOutput(&sink);
  control::DataLog(log_path.c_str());
  testing_support::CaptureOutput(nullptr);
  const double wall = (platform::TickMs() - start) / 1000.0, used = CpuSeconds() - cpu_start;
  std::printf("data log: %.2f s, processor time %.3f s, %.2f%% of one core\n", wall, used,
              100.0 * used / wall);

  for (const std::string& p : {path, memory_path, report_path, log_path}) std::remove(p.c_str());
  COM_KESTRAVO_Close(0);
  return 0;
}
