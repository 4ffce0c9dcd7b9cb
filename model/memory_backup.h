// The memory data backup as text: one value a line, two upper-case hexadecimal digits each.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "COM-KESTRAVO.h"

namespace model {

// Memory data: 16384 bytes in 128 blocks of 128.
constexpr uint32_t kMemorySize = COM_KESTRAVO_MEMORY_SIZE, kMemoryBlock = 0x80;
// The backup lines of some bytes: two upper-case hexadecimal digits and a line end each.
std::string BackupLines(const uint8_t* data, size_t count);
// Reads the 16384 values of a backup; false when the text ends or a value does not convert first.
// too_long tells whether more than white space follows the last value.
bool ParseBackup(const std::string& text, uint8_t* memory, bool& too_long);

}  // namespace model
