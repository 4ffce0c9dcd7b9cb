// What the configuration commands share: the flags and names of stored configurations, the
// yes/no questions and the messages about files.
#pragma once
#include <cstdint>

#include "control/config/block_text.h"

namespace control {

// A name as the library passes it (52 bytes), with a terminating zero for printing.
using ConfigName = char[kNameSize + 1];

// A failure is reported, after ending a progress line first where one stands.
bool GetConfigFlags(uint32_t number, uint8_t& active, uint8_t& valid, bool after_progress = false);
bool GetConfigName(uint32_t number, ConfigName& name, bool after_progress = false);
bool SetConfigFlags(uint32_t number, bool active, bool valid);
// Sets name, data and flags (1, 1) of a stored configuration, in this order; false after a failure
// (reported, after ending a progress line first where one stands).
bool StoreConfig(uint32_t number, const uint8_t* name, const uint8_t* block, bool after_progress = false);
// Wipes out a place: data, name and flags cleared, in this order; false after a reported failure.
bool ClearStored(uint32_t number, bool after_progress);

void ReportOpenError(const char* path);
void ReportWriteError(const char* path);
void ReportCloseError(const char* path);

}  // namespace control
