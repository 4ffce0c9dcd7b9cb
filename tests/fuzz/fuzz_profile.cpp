// The profile reader and the configuration text reader on any file: lookups of every entry of a
// stored configuration, then the block and the name.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/block_text.h"
#include "model/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  model::ProfileFile profile = model::ProfileFile::FromText(text);
  uint8_t block[model::kBlockSize];
  std::string failed;
  for (const char* section : {"CurrentConfiguration", "Configuration1", "Configuration12"}) {
    if (!model::ParseConfigText(profile, section, block, failed) && failed.empty()) std::abort();
    char name[1024];
    if (profile.GetWhole(section, "Name", name, sizeof name)) {
      uint8_t stored[model::kNameSize];
      if (model::UnescapeConfigName(name, stored)) {
        // What is written again reads back as the same name, which ends at its first zero byte.
        uint8_t again[model::kNameSize];
        if (!model::UnescapeConfigName(model::EscapeConfigName(stored).c_str(), again)) std::abort();
        bool ended = false;
        for (int i = 0; i < model::kNameSize; ++i) {
          ended = ended || stored[i] == 0;
          if (again[i] != (ended ? 0 : stored[i])) std::abort();
        }
      }
    }
    char small[5];
    profile.GetString(section, "Oscillator", small, sizeof small);
    uint32_t v = 0;
    profile.GetUnsigned(section, "Oscillator", v);
    uint8_t f = 0;
    profile.GetBool(section, "DeviceEnable", f);
  }
  return 0;
}
