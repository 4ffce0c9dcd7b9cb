// A configuration block of 75 bytes as lines of text and back, and the escaping of a stored
// configuration's name.
#pragma once
#include <cstdint>
#include <string>

#include "COM-KESTRAVO.h"
#include "model/profile.h"

namespace model {

constexpr int kBlockSize = COM_KESTRAVO_CONFIG_SIZE;
constexpr int kNameSize = COM_KESTRAVO_NAME_SIZE;
constexpr uint32_t kStoredConfigs = COM_KESTRAVO_CONFIG_COUNT;

// The lines of one block, from "Oscillator=" to "DisableDithering=".
std::string ConfigText(const uint8_t* block);

// Fills the block from the section; false with the key of the first entry that failed.
bool ParseConfigText(ProfileFile& profile, const char* section, uint8_t* block, std::string& failed_key);

// A name of 52 bytes (up to its first zero byte) as the text of a Name entry, and back. Unescape
// fails on an invalid escape; the name is cut to 52 bytes and padded with zero bytes.
std::string EscapeConfigName(const uint8_t* name);
bool UnescapeConfigName(const char* text, uint8_t* name);

}  // namespace model
