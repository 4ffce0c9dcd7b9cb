// Configurations to and from text files. A save writes a new file beside the target and puts it in
// the target's place only when everything was written and closed, so a failed save never loses the
// old file; a load checks the whole file before anything reaches the device.
#include <cstring>
#include <string>
#include <vector>

#include "COM-KESTRAVO.h"
#include "control/config/common.h"
#include "control/config/config.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "platform/files.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

bool Verbose() { return !State.quiet; }

std::string SectionOf(uint32_t number) {
  return std::string("Configuration").append(std::to_string(number + 1));
}

// The lines of a stored configuration's section: header, escaped name, block.
std::string StoredSection(uint32_t number, const ConfigName& name, const uint8_t* block) {
  std::string s = "[";
  s.append(SectionOf(number)).append("]\nName=");
  s.append(EscapeConfigName(reinterpret_cast<const uint8_t*>(name))).append("\n").append(ConfigText(block));
  return s;
}

bool Write(platform::SafeFile& out, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), out.file()) == text.size();
}

// The name and block of one section of a stored-configuration file. missing: the section or its
// Name entry is not there; otherwise a false result names the bad entry in failed (not reported).
struct ParsedSection {
  uint32_t number = 0;
  uint8_t name[kNameSize] = {};
  uint8_t block[kBlockSize] = {};
};
bool ParseSection(ProfileFile& profile, uint32_t number, ParsedSection& out, bool& missing,
                  std::string& failed) {
  const std::string section = SectionOf(number);
  char text[1024];
  missing = false;
  failed = "Name";
  const bool found = profile.GetWhole(section.c_str(), "Name", text, sizeof text);
  if (!found && !profile.HasEntry(section.c_str(), "Name")) {
    missing = true;
    return false;
  }
  if (!found || !UnescapeConfigName(text, out.name)) return false;
  out.number = number;
  return ParseConfigText(profile, section.c_str(), out.block, failed);
}

}  // namespace

void SaveCurrentConfigToFile(const char* path) {
  Progress("Saving current configuration into file '%s':\n", Printable(path).c_str());
  uint8_t block[kBlockSize] = {};
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
  ProfileFile profile(path);
  if (!profile.Ok) return ReportOpenError(path);
  uint8_t block[kBlockSize];
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
  uint8_t block[kBlockSize] = {};
  if (!Succeeded(COM_KESTRAVO_GetConfigData(State.PortNumber, number, block), "COM_KESTRAVO_GetConfigData"))
    return;
  platform::SafeFile out;
  if (!out.Open(path)) return ReportOpenError(path);
  if (!Write(out, StoredSection(number, name, block))) return ReportWriteError(path);
  if (!out.Commit()) return ReportCloseError(path);
  if (Verbose()) Print("Configuration #%u saved to data file '%s'\n", number + 1, Printable(path).c_str());
}

void LoadConfigFromFile(uint32_t number, const char* path) {
  Progress("Loading configuration #%u from file '%s':\n", number + 1, Printable(path).c_str());
  ProfileFile profile(path);
  if (!profile.Ok) return ReportOpenError(path);
  ParsedSection parsed;
  bool missing = false;
  std::string failed;
  if (!ParseSection(profile, number, parsed, missing, failed))
    return ReportReadError(path, SectionOf(number).c_str(), failed.c_str());
  if (!StoreConfig(number, parsed.name, parsed.block)) return;
  if (Verbose()) Print("Configuration #%u loaded from data file '%s'\n", number + 1, Printable(path).c_str());
}

void SaveAllConfigsToFile(const char* path) {
  Progress("Saving all configurations into file '%s':\n", Printable(path).c_str());
  platform::SafeFile out;
  bool opened = false;
  std::vector<uint32_t> saved;  // confirmed once the file is complete
  for (uint32_t n = 0; n < kStoredConfigs; ++n) {
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
    uint8_t block[kBlockSize] = {};
    if (!GetConfigName(n, name, true)) return;
    if (COM_KESTRAVO_GetConfigData(State.PortNumber, n, block) != 0) {
      EndProgressLine();
      return ReportError("COM_KESTRAVO_GetConfigData");
    }
    if (!Write(out, StoredSection(n, name, block))) {
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
  ProfileFile profile(path);
  if (!profile.Ok) return ReportOpenError(path);
  std::vector<ParsedSection> sections;
  for (uint32_t n = 0; n < kStoredConfigs; ++n) {
    ParsedSection parsed;
    bool missing = false;
    std::string failed;
    if (ParseSection(profile, n, parsed, missing, failed)) {
      sections.push_back(parsed);
    } else if (!missing) {
      for (uint32_t k = 0; k <= n; ++k) ProgressLine("Processing configuration #%u", k + 1);
      return ReportReadError(path, SectionOf(n).c_str(), failed.c_str());
    }
  }
  size_t next = 0;
  for (uint32_t n = 0; n < kStoredConfigs; ++n) {
    if (StopRequested()) return EndProgressLine();
    ProgressLine("Processing configuration #%u", n + 1);
    if (next >= sections.size() || sections[next].number != n) continue;
    const ParsedSection& s = sections[next++];
    if (!StoreConfig(s.number, s.name, s.block, true)) return;
    if (Verbose())
      Print("Configuration #%u loaded from data file '%s'\n", s.number + 1, Printable(path).c_str());
  }
  if (sections.empty()) return FileError("No configurations found\n");
  ClearLine();
}

}  // namespace control
