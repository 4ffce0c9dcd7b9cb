#include "panel/transfers.h"

#include <vector>

#include "COM-KESTRAVO.h"
#include "model/memory_backup.h"
#include "model/stored_text.h"

namespace panel {
namespace {

Result TextOf(const Json& request, std::string& text) {
  if (Result r = CheckedObject(request); !r.ok()) return r;
  auto it = request.find("text");
  if (it == request.end() || !it->is_string()) return Refused("'text' must hold the file's text");
  text = it->get<std::string>();
  return Done();
}

// One place's section text; found false for an invalid or deleted place.
Result PlaceText(uint16_t slot, SlotGate& gate, uint32_t n, std::string& text, bool& found) {
  uint8_t active = 0, valid = 0, name[COM_KESTRAVO_NAME_SIZE + 1] = {}, block[COM_KESTRAVO_CONFIG_SIZE] = {};
  const SlotGate::Hold hold = gate.Call();
  found = false;
  if (COM_KESTRAVO_GetConfigFlags(slot, n, &active, &valid) != 0)
    return DeviceFailed("COM_KESTRAVO_GetConfigFlags", slot);
  if (!valid || !active) return Done();
  if (COM_KESTRAVO_GetConfigName(slot, n, name) != 0) return DeviceFailed("COM_KESTRAVO_GetConfigName", slot);
  if (COM_KESTRAVO_GetConfigData(slot, n, block) != 0)
    return DeviceFailed("COM_KESTRAVO_GetConfigData", slot);
  found = true;
  text = model::StoredSection(n, name, block);
  return Done();
}

std::string BadEntry(uint32_t n, const std::string& entry) {
  return "Section '" + model::SectionOf(n) + "', Entry '" + entry + "' does not read";
}

// The sections an upload stores: place n's, or every one the file holds.
Result Sections(const Json& request, const std::string& text, std::vector<model::ParsedSection>& sections) {
  model::ProfileFile profile = model::ProfileFile::FromText(text);
  std::string failed;
  auto number = request.find("number");
  if (number == request.end()) {
    uint32_t bad = 0;
    if (!model::ParseStoredFile(profile, sections, bad, failed)) return Refused(BadEntry(bad, failed));
    return sections.empty() ? Refused("No configurations found") : Done();
  }
  if (!number->is_number_integer() || number->get<int64_t>() < 0 ||
      number->get<int64_t>() >= COM_KESTRAVO_CONFIG_COUNT)
    return Refused("'number' is out of range (0 to 125)");
  const uint32_t n = number->get<uint32_t>();
  model::ParsedSection parsed;
  bool missing = false;
  if (!model::ParseSection(profile, n, parsed, missing, failed))
    return Refused(missing ? "the file has no section [" + model::SectionOf(n) + "]" : BadEntry(n, failed));
  sections.push_back(parsed);
  return Done();
}

}  // namespace

Result ConfigFileText(uint16_t slot, SlotGate& gate, long n, std::string& text) {
  text.clear();
  if (n >= 0) {
    bool found = false;
    if (Result r = PlaceText(slot, gate, uint32_t(n), text, found); !r.ok()) return r;
    if (!found) return {409, "configuration #" + std::to_string(n + 1) + " is invalid or deleted"};
    return Done();
  }
  for (uint32_t place = 0; place < COM_KESTRAVO_CONFIG_COUNT; ++place) {
    std::string section;
    bool found = false;
    if (Result r = PlaceText(slot, gate, place, section, found); !r.ok()) return r;
    if (!found) continue;
    if (!text.empty()) text += "\n";
    text += section;
  }
  return text.empty() ? Result{404, "No valid configurations found"} : Done();
}

Result UploadConfigFile(uint16_t slot, SlotGate& gate, const Json& request, Json& result, Busy& busy) {
  std::string text;
  if (Result r = TextOf(request, text); !r.ok()) return r;
  if (text.size() > 1024 * 1024) return Refused("the file is larger than 1 MiB");
  std::vector<model::ParsedSection> sections;
  if (Result r = Sections(request, text, sections); !r.ok()) return r;
  busy.total = uint32_t(sections.size());
  const SlotGate::Hold hold = gate.Change();
  Json stored = Json::array();
  for (const model::ParsedSection& s : sections) {
    // The name goes first, then the data, then the flags, as the console program stores them.
    if (COM_KESTRAVO_SetConfigName(slot, s.number, s.name) != 0)
      return DeviceFailed("COM_KESTRAVO_SetConfigName", slot);
    if (COM_KESTRAVO_SetConfigData(slot, s.number, s.block) != 0)
      return DeviceFailed("COM_KESTRAVO_SetConfigData", slot);
    if (COM_KESTRAVO_SetConfigFlags(slot, s.number, 1, 1) != 0)
      return DeviceFailed("COM_KESTRAVO_SetConfigFlags", slot);
    stored.push_back(s.number);
    ++busy.done;
  }
  result = {{"stored", stored}};
  return Done();
}

Result MemoryBackupText(uint16_t slot, SlotGate& gate, std::string& text) {
  text.clear();
  for (uint32_t address = 0; address < model::kMemorySize; address += model::kMemoryBlock) {
    uint8_t block[model::kMemoryBlock];
    const SlotGate::Hold hold = gate.Call();
    if (COM_KESTRAVO_GetMemoryData(slot, address, model::kMemoryBlock, block) != 0)
      return DeviceFailed("COM_KESTRAVO_GetMemoryData", slot);
    text += model::BackupLines(block, model::kMemoryBlock);
  }
  return Done();
}

Result RestoreMemoryText(uint16_t slot, SlotGate& gate, const Json& request, Json& result, Busy& busy) {
  std::string text;
  if (Result r = TextOf(request, text); !r.ok()) return r;
  std::vector<uint8_t> memory(model::kMemorySize);
  bool too_long = false;
  if (!model::ParseBackup(text, memory.data(), too_long))
    return Refused("the backup does not read (16384 values of two hexadecimal digits)");
  if (too_long) return Refused("the backup holds more than 16384 values: nothing was written");
  busy.total = model::kMemorySize;
  const SlotGate::Hold hold = gate.Change();
  for (uint32_t address = 0; address < model::kMemorySize; address += model::kMemoryBlock) {
    if (COM_KESTRAVO_SetMemoryData(slot, address, model::kMemoryBlock, memory.data() + address) != 0)
      return DeviceFailed("COM_KESTRAVO_SetMemoryData", slot);
    busy.done = address + model::kMemoryBlock;
  }
  if (COM_KESTRAVO_UpdateMemoryData(slot) != 0) return DeviceFailed("COM_KESTRAVO_UpdateMemoryData", slot);
  result = {{"restored", model::kMemorySize}};
  return Done();
}

}  // namespace panel
