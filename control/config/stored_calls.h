// What the configuration commands share: the flags and names of stored configurations, the
// configuration files read and written with their messages.
#pragma once
#include <cstdint>
#include <cstdio>

#include "model/block_text.h"
#include "model/profile.h"

namespace control {

// A name as the library passes it (52 bytes), with a terminating zero for printing.
using ConfigName = char[model::kNameSize + 1];

// A failure is reported, after ending a progress line first where one stands.
bool GetConfigFlags(uint32_t number, uint8_t& active, uint8_t& valid, bool after_progress = false);
bool GetConfigName(uint32_t number, ConfigName& name, bool after_progress = false);
bool SetConfigFlags(uint32_t number, bool active, bool valid);
// Sets name, data and flags (1, 1) of a stored configuration, in this order; false after a failure
// (reported, after ending a progress line first where one stands).
bool StoreConfig(uint32_t number, const uint8_t* name, const uint8_t* block, bool after_progress = false);
// Wipes out a place: data, name and flags cleared, in this order; false after a reported failure.
bool ClearStored(uint32_t number, bool after_progress);

// The file at path as a profile; a file that cannot be read (the reason printed where it is too
// long) gives one whose lookups all fail.
model::ProfileFile ReadProfile(const char* path);
// Writes a block's lines to an open file; a failed write prints "Error writing the data file '<path>'".
bool WriteConfigText(const char* path, FILE* file, const uint8_t* block);
// Fills the block from the section, printing "Error reading the data file ..." for the failed entry.
bool ReadConfigText(const char* path, model::ProfileFile& profile, const char* section, uint8_t* block);
// The message of a failed entry.
void ReportReadError(const char* path, const char* section, const char* key);

void ReportOpenError(const char* path);
void ReportWriteError(const char* path);
void ReportCloseError(const char* path);

}  // namespace control
