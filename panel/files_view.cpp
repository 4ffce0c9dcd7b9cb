#include "panel/files_view.h"

#include <vector>

#include "COM-KESTRAVO.h"
#include "control/config/stored_text.h"
#include "control/diagnostics/diagnostics.h"

namespace panel {
namespace {

bool TextOf(const Json& request, std::string& text, std::string& error) {
  if (!request.is_object()) return error = "the request must be a JSON object", false;
  auto it = request.find("text");
  if (it == request.end() || !it->is_string()) return error = "'text' must hold the file's text", false;
  text = it->get<std::string>();
  return true;
}

// One place's section text; false when it cannot be read, with found false for an invalid or
// deleted place.
bool PlaceText(uint16_t slot, SlotGate& gate, uint32_t n, std::string& text, bool& found,
               std::string& error) {
  uint8_t active = 0, valid = 0, name[COM_KESTRAVO_NAME_SIZE + 1] = {}, block[COM_KESTRAVO_CONFIG_SIZE] = {};
  const std::unique_lock<std::mutex> lock = gate.Call();
  found = false;
  if (COM_KESTRAVO_GetConfigFlags(slot, n, &active, &valid) != 0)
    return error = Failure("COM_KESTRAVO_GetConfigFlags", slot), false;
  if (!valid || !active) return true;
  if (COM_KESTRAVO_GetConfigName(slot, n, name) != 0)
    return error = Failure("COM_KESTRAVO_GetConfigName", slot), false;
  if (COM_KESTRAVO_GetConfigData(slot, n, block) != 0)
    return error = Failure("COM_KESTRAVO_GetConfigData", slot), false;
  found = true;
  text = control::StoredSection(n, name, block);
  return true;
}

}  // namespace

bool ConfigFileText(uint16_t slot, SlotGate& gate, long n, std::string& text, std::string& error,
                    int& status) {
  status = 502;
  text.clear();
  if (n >= 0) {
    bool found = false;
    if (!PlaceText(slot, gate, uint32_t(n), text, found, error)) return false;
    if (!found) {
      status = 409;
      return error = "configuration #" + std::to_string(n + 1) + " is invalid or deleted", false;
    }
    return true;
  }
  for (uint32_t place = 0; place < COM_KESTRAVO_CONFIG_COUNT; ++place) {
    std::string section;
    bool found = false;
    if (!PlaceText(slot, gate, place, section, found, error)) return false;
    if (!found) continue;
    if (!text.empty()) text += "\n";
    text += section;
  }
  if (text.empty()) {
    status = 404;
    return error = "No valid configurations found", false;
  }
  return true;
}

bool UploadConfigFile(uint16_t slot, SlotGate& gate, const Json& request, Json& result, std::string& error) {
  std::string text;
  if (!TextOf(request, text, error)) return false;
  if (text.size() > 1024 * 1024) return error = "the file is larger than 1 MiB", false;
  control::ProfileFile profile = control::ProfileFile::FromText(text);
  std::vector<control::ParsedSection> sections;
  std::string failed;
  if (auto number = request.find("number"); number != request.end()) {
    if (!number->is_number_integer() || number->get<int64_t>() < 0 ||
        number->get<int64_t>() >= COM_KESTRAVO_CONFIG_COUNT)
      return error = "'number' is out of range (0 to 125)", false;
    const uint32_t n = number->get<uint32_t>();
    control::ParsedSection parsed;
    bool missing = false;
    if (!control::ParseSection(profile, n, parsed, missing, failed))
      return error = missing
                         ? "the file has no section [" + control::SectionOf(n) + "]"
                         : "Section '" + control::SectionOf(n) + "', Entry '" + failed + "' does not read",
             false;
    sections.push_back(parsed);
  } else {
    uint32_t bad = 0;
    if (!control::ParseStoredFile(profile, sections, bad, failed))
      return error = "Section '" + control::SectionOf(bad) + "', Entry '" + failed + "' does not read", false;
    if (sections.empty()) return error = "No configurations found", false;
  }
  const std::unique_lock<std::mutex> lock = gate.Change();
  Json stored = Json::array();
  for (const control::ParsedSection& s : sections) {
    // The name goes first, then the data, then the flags, as the console program stores them.
    if (COM_KESTRAVO_SetConfigName(slot, s.number, s.name) != 0)
      return error = Failure("COM_KESTRAVO_SetConfigName", slot), false;
    if (COM_KESTRAVO_SetConfigData(slot, s.number, s.block) != 0)
      return error = Failure("COM_KESTRAVO_SetConfigData", slot), false;
    if (COM_KESTRAVO_SetConfigFlags(slot, s.number, 1, 1) != 0)
      return error = Failure("COM_KESTRAVO_SetConfigFlags", slot), false;
    stored.push_back(s.number);
  }
  result = {{"stored", stored}};
  return true;
}

bool MemoryBackupText(uint16_t slot, SlotGate& gate, std::string& text, std::string& error) {
  text.clear();
  for (uint32_t address = 0; address < control::kMemorySize; address += control::kMemoryBlock) {
    uint8_t block[control::kMemoryBlock];
    const std::unique_lock<std::mutex> lock = gate.Call();
    if (COM_KESTRAVO_GetMemoryData(slot, address, control::kMemoryBlock, block) != 0)
      return error = Failure("COM_KESTRAVO_GetMemoryData", slot), false;
    text += control::BackupLines(block, control::kMemoryBlock);
  }
  return true;
}

bool RestoreMemory(uint16_t slot, SlotGate& gate, const Json& request, Json& result, std::string& error) {
  std::string text;
  if (!TextOf(request, text, error)) return false;
  std::vector<uint8_t> memory(control::kMemorySize);
  bool too_long = false;
  if (!control::ParseBackup(text, memory.data(), too_long))
    return error = "the backup does not read (16384 values of two hexadecimal digits)", false;
  if (too_long) return error = "the backup holds more than 16384 values: nothing was written", false;
  const std::unique_lock<std::mutex> lock = gate.Change();
  for (uint32_t address = 0; address < control::kMemorySize; address += control::kMemoryBlock)
    if (COM_KESTRAVO_SetMemoryData(slot, address, control::kMemoryBlock, memory.data() + address) != 0)
      return error = Failure("COM_KESTRAVO_SetMemoryData", slot), false;
  if (COM_KESTRAVO_UpdateMemoryData(slot) != 0)
    return error = Failure("COM_KESTRAVO_UpdateMemoryData", slot), false;
  result = {{"restored", control::kMemorySize}};
  return true;
}

bool SoftwareTrigger(uint16_t slot, SlotGate& gate, const Json& request, Json& result, std::string& error) {
  if (!request.is_object()) return error = "the request must be a JSON object", false;
  uint32_t masks[2] = {0x10, 0x00};
  const char* keys[2] = {"start", "stop"};
  for (int i = 0; i < 2; ++i) {
    auto it = request.find(keys[i]);
    if (it == request.end()) continue;
    if (!it->is_number_integer() || (it->get<int64_t>() & ~int64_t(0x18)) != 0)
      return error = std::string("'") + keys[i] + "' must be 0, 8, 16 or 24", false;
    masks[i] = it->get<uint32_t>();
  }
  const std::unique_lock<std::mutex> lock = gate.Change();
  uint16_t s = 0;
  if (COM_KESTRAVO_GetControllerState(slot, &s) != 0)
    return error = Failure("COM_KESTRAVO_GetControllerState", slot), false;
  const uint16_t a = uint16_t((s & 0xFFE7) | masks[0]), b = uint16_t((s & 0xFFE7) | masks[1]);
  if (COM_KESTRAVO_SetControllerConfig(slot, a & 0xFF) != 0 ||
      COM_KESTRAVO_SetControllerConfig(slot, b & 0xFF) != 0)
    return error = Failure("COM_KESTRAVO_SetControllerConfig", slot), false;
  result = {{"read", s}, {"start", a}, {"stop", b}};
  return true;
}

}  // namespace panel
