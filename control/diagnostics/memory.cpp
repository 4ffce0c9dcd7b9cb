// Backup and restore of the device's memory data. A backup replaces an old file only when all 128
// blocks were read and written; a restore reads and checks the whole file before the first block
// is written to the device.
#include <cctype>
#include <cstdio>
#include <string>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "control/diagnostics/diagnostics.h"
#include "model/memory_backup.h"
#include "platform/files.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
void BackupMemory(const char* path) {
  if (!State.quiet) Print("Saving memory data (size=%04Xh):\n", model::kMemorySize);
  platform::SafeFile out;
  if (!out.Open(path))
    return FileFailure(path, SystemReason(), "Error opening the data file '%s'\n", Printable(path).c_str());
  for (uint32_t address = 0; address < model::kMemorySize; address += model::kMemoryBlock) {
    ClearLine();
    if (StopRequested()) return EndProgressLine();
    ProgressLine("Getting memory data, address: %04Xh", address);
    uint8_t block[model::kMemoryBlock];
    if (COM_KESTRAVO_GetMemoryData(State.PortNumber, address, model::kMemoryBlock, block) != 0) {
      ClearLine();
      return ReportError("COM_KESTRAVO_GetMemoryData");
    }
    const std::string lines = model::BackupLines(block, model::kMemoryBlock);
    if (std::fwrite(lines.data(), 1, lines.size(), out.file()) != lines.size()) {
      const std::string reason = SystemReason();
      ClearLine();
      return FileFailure(path, reason, "Error writing the data file '%s'\n", Printable(path).c_str());
    }
  }
  ClearLine();
  if (!out.Commit()) {
    const std::string reason = SystemReason();
    ClearLine();
    return FileFailure(path, reason, "Error closing the data file '%s'\n", Printable(path).c_str());
  }
  if (!State.quiet) Print("Memory data saved to file '%s'\n", Printable(path).c_str());
}

void RestoreMemory(const char* path) {
  DrainKeys();
  if (!Confirm("Restore memory data? [y/n]: ")) return;
  DrainKeys();
  if (!Confirm("All memory data will be overwritten, proceed? [y/n]: ")) return;
  if (!State.quiet) Print("Loading memory data (size=%04Xh):\n", model::kMemorySize);
  std::string text;
  if (!ReadInputFile(path, text))
    return FileFailure(path, SystemReason(), "Error opening the data file '%s'\n", Printable(path).c_str());
  static uint8_t memory[model::kMemorySize];
  bool too_long = false;
  if (!model::ParseBackup(text, memory, too_long))
    return FileFailure(path, "not a memory backup (a line of two hexadecimal digits per byte)",
                       "Error reading the data file '%s'\n", Printable(path).c_str());
  // A file with more than 16384 values is not the backup of this memory (a line of three digits
  // shifts every value after it): nothing is written.
  if (too_long) {
    Print("Warning: Data file '%s' too long\n", Printable(path).c_str());
    return FileFailure(path, "more than 16384 values: nothing was written to the device",
                       "Restore cancelled: nothing was written to the device\n");
  }
  for (uint32_t address = 0; address < model::kMemorySize; address += model::kMemoryBlock) {
    ClearLine();
    if (StopRequested()) return EndProgressLine();
    ProgressLine("Setting memory data, address: %04Xh", address);
    if (COM_KESTRAVO_SetMemoryData(State.PortNumber, address, model::kMemoryBlock, memory + address) != 0) {
      ClearLine();
      return ReportError("COM_KESTRAVO_SetMemoryData");
    }
  }
  ClearLine();
  if (!Succeeded(COM_KESTRAVO_UpdateMemoryData(State.PortNumber), "COM_KESTRAVO_UpdateMemoryData")) return;
  if (!State.quiet) Print("Memory data loaded from file '%s'\n", Printable(path).c_str());
}

int FileSwitch(SwitchArgs& a, void (*run)(const char* path)) {
  if (*a.rest) return a.index;
  const char* path = a.Next();
  if (!path) return a.argc;
  if (OpenDevicePort()) run(path);
  return kParsed;
}

// -y file: back up; -Y file: restore.
int MemorySwitch(SwitchArgs& a) { return FileSwitch(a, a.small() ? BackupMemory : RestoreMemory); }

void BackupKey() {
  char name[512];
  if (PromptWord("\nEnter the data file name: ", name, sizeof name)) BackupMemory(name);
}

void RestoreKey() {
  char name[512];
  if (PromptWord("\nEnter the data file name: ", name, sizeof name)) RestoreMemory(name);
}

}  // namespace control
