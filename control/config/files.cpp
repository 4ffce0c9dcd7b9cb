// Configurations to and from text files. A save writes a new file beside the target and puts it in
// the target's place only when everything was written and closed, so a failed save never loses the
// old file; a load checks the whole file before anything reaches the device.
#include <cstring>
#include <string>
#include <vector>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/state.h"
#include "control/config/config.h"
#include "control/config/stored_calls.h"
#include "model/block_text.h"
#include "model/cp1252.h"
#include "model/profile.h"
#include "model/stored_text.h"
#include "platform/files.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

bool Verbose() { return !State.quiet; }

bool Write(platform::SafeFile& out, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), out.file()) == text.size();
}

}  // namespace

void SaveCurrentConfigToFile(const char* path) {
  Progress("Saving current configuration into file '%s':\n", Printable(path).c_str());
  uint8_t block[model::kBlockSize] = {};
  if (!Succeeded(COM_KESTRAVO_GetCurrentConfig(State.PortNumber, block), "COM_KESTRAVO_GetCurrentConfig"))
    return;
  platform::SafeFile out;
  if (!out.Open(path)) return ReportOpenError(path);
  if (!Write(out, "[CurrentConfiguration]\n")) return ReportWriteError(path);
  if (!WriteConfigText(path, out.file(), block)) return;
  if (!out.Commit()) return ReportCloseError(path);
  if (Verbose()) Print("Current configuration saved into data file '%s'\n", Printable(path).c_str());
}

void LoadCurrentConfigFromFile(const char* path) {
  Progress("Loading current configuration from file '%s':\n", Printable(path).c_str());
  model::ProfileFile profile = ReadProfile(path);
  if (!profile.Ok) return ReportOpenError(path);
  uint8_t block[model::kBlockSize];
  if (!ReadConfigText(path, profile, "CurrentConfiguration", block)) return;
  if (!Succeeded(COM_KESTRAVO_SetCurrentConfig(State.PortNumber, block), "COM_KESTRAVO_SetCurrentConfig"))
    return;
  if (Verbose()) Print("Current configuration loaded from data file '%s'\n", Printable(path).c_str());
}

void SaveConfigToFile(uint32_t number, const char* path) {
  Progress("Saving configuration #%u into file '%s':\n", number + 1, Printable(path).c_str());
  uint8_t active = 0, valid = 0;
  if (!GetConfigFlags(number, active, valid)) return;
  if (!valid) return Refused("Cannot save the configuration #%u since it is invalid!\n", number + 1);
  ConfigName name;
  if (!GetConfigName(number, name)) return;
  if (!active)
    return Refused("Cannot save the configuration #%u '%s' since it was deleted!\n", number + 1, name);
  uint8_t block[model::kBlockSize] = {};
  if (!Succeeded(COM_KESTRAVO_GetConfigData(State.PortNumber, number, block), "COM_KESTRAVO_GetConfigData"))
    return;
  platform::SafeFile out;
  if (!out.Open(path)) return ReportOpenError(path);
  if (!Write(out, model::StoredSection(number, reinterpret_cast<const uint8_t*>(name), block)))
    return ReportWriteError(path);
  if (!out.Commit()) return ReportCloseError(path);
  if (Verbose()) Print("Configuration #%u saved to data file '%s'\n", number + 1, Printable(path).c_str());
}

void LoadConfigFromFile(uint32_t number, const char* path) {
  Progress("Loading configuration #%u from file '%s':\n", number + 1, Printable(path).c_str());
  model::ProfileFile profile = ReadProfile(path);
  if (!profile.Ok) return ReportOpenError(path);
  model::ParsedSection parsed;
  bool missing = false;
  std::string failed;
  if (!model::ParseSection(profile, number, parsed, missing, failed))
    return ReportReadError(path, model::SectionOf(number).c_str(), failed.c_str());
  if (!StoreConfig(number, parsed.name, parsed.block)) return;
  if (Verbose()) Print("Configuration #%u loaded from data file '%s'\n", number + 1, Printable(path).c_str());
}

void SaveAllConfigsToFile(const char* path) {
  Progress("Saving all configurations into file '%s':\n", Printable(path).c_str());
  platform::SafeFile out;
  bool opened = false;
  std::vector<uint32_t> saved;  // confirmed once the file is complete
  for (uint32_t n = 0; n < model::kStoredConfigs; ++n) {
    if (StopRequested()) return EndProgressLine();
    ProgressLine("Processing configuration #%u", n + 1);
    uint8_t active = 0, valid = 0;
    if (!GetConfigFlags(n, active, valid, true)) return;
    if (!active) continue;  // the sets saved are the active ones
    if (!opened) {
      if (!out.Open(path)) return ReportOpenError(path);
      opened = true;
    } else if (!Write(out, "\n")) {
      EndProgressLine();
      return ReportWriteError(path);
    }
    ConfigName name;
    uint8_t block[model::kBlockSize] = {};
    if (!GetConfigName(n, name, true)) return;
    if (COM_KESTRAVO_GetConfigData(State.PortNumber, n, block) != 0) {
      EndProgressLine();
      return ReportError("COM_KESTRAVO_GetConfigData");
    }
    if (!Write(out, model::StoredSection(n, reinterpret_cast<const uint8_t*>(name), block))) {
      EndProgressLine();
      return ReportWriteError(path);
    }
    saved.push_back(n);
  }
  if (!opened) return Refused("No valid configurations found\n");
  ClearLine();
  if (!out.Commit()) return ReportCloseError(path);
  if (Verbose())
    for (uint32_t n : saved)
      Print("Configuration #%u saved to data file '%s'\n", n + 1, Printable(path).c_str());
}

// Every section is read and checked before the first configuration is written: a file with a bad
// section changes nothing in the store. The progress lines follow the numbers as the writing goes;
// a bad section shows the lines up to its own before its message.
void LoadAllConfigsFromFile(const char* path) {
  Progress("Loading all configurations from file '%s':\n", Printable(path).c_str());
  model::ProfileFile profile = ReadProfile(path);
  if (!profile.Ok) return ReportOpenError(path);
  std::vector<model::ParsedSection> sections;
  uint32_t bad = 0;
  std::string failed;
  if (!model::ParseStoredFile(profile, sections, bad, failed)) {
    for (uint32_t k = 0; k <= bad; ++k) ProgressLine("Processing configuration #%u", k + 1);
    return ReportReadError(path, model::SectionOf(bad).c_str(), failed.c_str());
  }
  size_t next = 0;
  model::JsonArray loaded;
  for (uint32_t n = 0; n < model::kStoredConfigs; ++n) {
    if (StopRequested()) return EndProgressLine();
    ProgressLine("Processing configuration #%u", n + 1);
    if (next >= sections.size() || sections[next].number != n) continue;
    const model::ParsedSection& s = sections[next++];
    if (!StoreConfig(s.number, s.name, s.block, true)) return;
    loaded.Object(model::JsonObject()
                      .Integer("number", s.number + 1)
                      .Text("name", model::Utf8FromCp1252(s.name, sizeof s.name)));
    if (Verbose())
      Print("Configuration #%u loaded from data file '%s'\n", s.number + 1, Printable(path).c_str());
  }
  if (sections.empty()) return FileFailure(path, "no configuration section", "No configurations found\n");
  ClearLine();
  JsonRecord("configurations_loaded", model::JsonObject().Text("file", path).Array("configurations", loaded));
}

}  // namespace control
