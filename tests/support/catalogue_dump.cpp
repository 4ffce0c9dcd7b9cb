// Prints the settings catalogue and the source names as JSON, for the checks of other languages'
// copies (the Python package's units and ranges).
#include <cstdio>

#include "model/device_texts.h"
#include "model/settings.h"

int main() {
  std::printf("{\"settings\": [");
  const char* comma = "";
  for (const model::SettingInfo& s : model::Settings()) {
    std::printf(
        "%s\n {\"name\": \"%s\", \"count\": %u, \"highest\": %u, \"unit\": \"%s\", \"offset\": %u, "
        "\"step\": %.17g}",
        comma, s.name, s.count, s.highest, model::UnitName(s.unit), s.offset, s.step);
    comma = ",";
  }
  std::printf("],\n\"sources\": [");
  for (unsigned i = 0; i < model::kDIOSources; ++i)
    std::printf("%s\"%s\"", i ? ", " : "", model::SourceName(i));
  std::printf("]}\n");
  return 0;
}
