// The console program's command line: the COM number and one switch of any bytes, then -T. Every
// COM number is a simulated device (no real port is ever opened) and time is virtual. Only one
// switch is given, so no switch can take a file name from a following argument.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "control/cmdline.h"
#include "platform/clock.h"
#include "platform/terminal.h"
#include "tests/support/console_script.h"
#include "tests/support/virtual_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    for (int n = 0; n <= 255; ++n) setenv(("KESTRAVO_COM" + std::to_string(n)).c_str(), "sim", 1);
    testing_support::UseVirtualClock(true);
    // Debug.txt of a 'G' switch lands in a scratch directory.
    const std::string dir = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                            "/kestravo-fuzz-cmdline-" + std::to_string(getpid());
    if (mkdir(dir.c_str(), 0700) != 0 || chdir(dir.c_str()) != 0) std::abort();
    ready = true;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t cut = text.find('\0');
  std::string com = text.substr(0, cut), sw = cut == std::string::npos ? "" : text.substr(cut + 1);
  sw = sw.substr(0, sw.find('\0'));
  std::string name = "COM-KESTRAVO-Control", t = "-T";
  char* argv[] = {name.data(), com.data(), sw.data(), t.data(), nullptr};
  std::string out;
  testing_support::CaptureOutput(&out);
  testing_support::ScriptInput({});
  control::RunProgram(sw.empty() ? 2 : 4, argv);
  testing_support::CaptureOutput(nullptr);
  uint32_t value = 0;
  // A number out of range never opens a port (it wrapped to COM1 before).
  if (control::ScanComNumber(com.c_str(), value) && (value == 0 || value > 255) &&
      out.find(" opened for the communication port") != std::string::npos)
    __builtin_trap();
  return 0;
}
