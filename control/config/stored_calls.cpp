#include "control/config/stored_calls.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "model/block_text.h"
#include "model/format.h"
#include "model/profile.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {

namespace {

bool Checked(int32_t result, const char* call, bool after_progress) {
  if (result == 0) return true;
  if (after_progress) EndProgressLine();
  ReportError(call);
  return false;
}

}  // namespace

model::ProfileFile ReadProfile(const char* path) {
  std::string text;
  if (!path || !ReadInputFile(path, text)) return model::ProfileFile();
  return model::ProfileFile::FromText(text);
}

bool WriteConfigText(const char* path, FILE* file, const uint8_t* block) {
  const std::string text = model::ConfigText(block);
  if (std::fwrite(text.data(), 1, text.size(), file) == text.size()) return true;
  FileFailure(path, SystemReason(), "Error writing the data file '%s'\n", Printable(path).c_str());
  return false;
}

void ReportReadError(const char* path, const char* section, const char* key) {
  FileFailure(path, model::Format("section '%s', entry '%s' is missing or wrong", section, key),
              "Error reading the data file '%s', Section '%s', Entry '%s'\n", Printable(path).c_str(),
              section, key);
}

bool ReadConfigText(const char* path, model::ProfileFile& profile, const char* section, uint8_t* block) {
  std::string failed;
  if (model::ParseConfigText(profile, section, block, failed)) return true;
  ReportReadError(path, section, failed.c_str());
  return false;
}

bool GetConfigFlags(uint32_t number, uint8_t& active, uint8_t& valid, bool after_progress) {
  return Checked(COM_KESTRAVO_GetConfigFlags(State.PortNumber, number, &active, &valid),
                 "COM_KESTRAVO_GetConfigFlags", after_progress);
}

bool GetConfigName(uint32_t number, ConfigName& name, bool after_progress) {
  std::memset(name, 0, sizeof name);
  return Checked(COM_KESTRAVO_GetConfigName(State.PortNumber, number, reinterpret_cast<uint8_t*>(name)),
                 "COM_KESTRAVO_GetConfigName", after_progress);
}

bool SetConfigFlags(uint32_t number, bool active, bool valid) {
  return Succeeded(COM_KESTRAVO_SetConfigFlags(State.PortNumber, number, active, valid),
                   "COM_KESTRAVO_SetConfigFlags");
}

bool ClearStored(uint32_t number, bool after_progress) {
  const uint16_t port = State.PortNumber;
  const uint8_t zeros[model::kBlockSize] = {};
  return Checked(COM_KESTRAVO_SetConfigData(port, number, zeros), "COM_KESTRAVO_SetConfigData",
                 after_progress) &&
         Checked(COM_KESTRAVO_SetConfigName(port, number, zeros), "COM_KESTRAVO_SetConfigName",
                 after_progress) &&
         Checked(COM_KESTRAVO_SetConfigFlags(port, number, 0, 0), "COM_KESTRAVO_SetConfigFlags",
                 after_progress);
}

bool StoreConfig(uint32_t number, const uint8_t* name, const uint8_t* block, bool after_progress) {
  // The name goes first, then the data, then the flags.
  const uint16_t port = State.PortNumber;
  return Checked(COM_KESTRAVO_SetConfigName(port, number, name), "COM_KESTRAVO_SetConfigName",
                 after_progress) &&
         Checked(COM_KESTRAVO_SetConfigData(port, number, block), "COM_KESTRAVO_SetConfigData",
                 after_progress) &&
         Checked(COM_KESTRAVO_SetConfigFlags(port, number, 1, 1), "COM_KESTRAVO_SetConfigFlags",
                 after_progress);
}

void ReportOpenError(const char* path) {
  FileFailure(path, SystemReason(), "Error opening the data file '%s'\n", Printable(path).c_str());
}
void ReportWriteError(const char* path) {
  FileFailure(path, SystemReason(), "Error writing the data file '%s'\n", Printable(path).c_str());
}
void ReportCloseError(const char* path) {
  const std::string reason = SystemReason();
  ClearLine();
  FileFailure(path, reason, "Error closing the data file %s\n", Printable(path).c_str());
}

}  // namespace control
