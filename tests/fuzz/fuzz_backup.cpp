// The memory backup reader on any file; a file it accepts is written back to the same values.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "model/memory_backup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Short inputs stand for the start of a file: the rest of the 16384 values are given as lines.
  std::string text(reinterpret_cast<const char*>(data), size);
  if (size && data[0] == '+') {
    text.erase(0, 1);
    for (uint32_t i = 0; i < model::kMemorySize; ++i) text += "00\n";
  }
  static std::vector<uint8_t> memory(model::kMemorySize), again(model::kMemorySize);
  bool too_long = false;
  if (!model::ParseBackup(text, memory.data(), too_long)) return 0;
  bool again_too_long = true;
  if (!model::ParseBackup(model::BackupLines(memory.data(), memory.size()), again.data(), again_too_long))
    std::abort();
  if (again_too_long || std::memcmp(memory.data(), again.data(), memory.size()) != 0) std::abort();
  return 0;
}
