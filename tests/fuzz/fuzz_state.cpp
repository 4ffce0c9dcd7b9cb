// The simulated device's state-file reader on any text. The first byte chooses how many valid
// configuration and memory lines come before the fuzzed text, so that files with too many of them
// (which wrote past the state) are within reach of short inputs. What reads must write back and
// read again the same.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/sim.h"

namespace {

std::string Path() {
  return std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/kestravo-fuzz-state-" +
         std::to_string(getpid()) + ".txt";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = Path();
  static std::string valid_configs, valid_memory;
  if (valid_configs.empty()) {
    sim::SaveNonVolatile(path, sim::NonVolatile{});
    FILE* f = std::fopen(path.c_str(), "r");
    char line[512];
    while (f && std::fgets(line, sizeof line, f)) {
      if (std::string(line).rfind("config ", 0) == 0) valid_configs += line;
      if (std::string(line).rfind("memory ", 0) == 0) valid_memory += line;
    }
    if (f) std::fclose(f);
  }
  std::string text = "KESTRAVO-SIM-NV 1\ntimes 1 1\n";
  if (size > 0) {
    // 0 to 127 lines of each kind before the fuzzed text.
    const size_t configs = data[0] & 0x7F, memory = (data[0] & 0x80) ? 256 : 0;
    size_t at = 0;
    for (size_t n = 0; n < configs && at < valid_configs.size(); ++n) at = valid_configs.find('\n', at) + 1;
    text += valid_configs.substr(0, at);
    if (memory) text += valid_memory;
    text.append(reinterpret_cast<const char*>(data) + 1, size - 1);
  }
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return 0;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  sim::NonVolatile nv;
  std::string error;
  if (sim::LoadNonVolatile(path, nv, error)) {
    if (!sim::SaveNonVolatile(path, nv)) __builtin_trap();
    sim::NonVolatile again;
    if (!sim::LoadNonVolatile(path, again, error) || again.blocks != nv.blocks || again.names != nv.names ||
        again.flags != nv.flags || again.memory != nv.memory || again.total_up_s != nv.total_up_s ||
        again.total_op_s != nv.total_op_s)
      __builtin_trap();
  }
  std::remove(path.c_str());
  return 0;
}
