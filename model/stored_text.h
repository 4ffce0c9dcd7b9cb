// The text of stored configurations: one section per place ("[Configuration<n>]", its escaped
// name, then the block's lines), written and read back with every check. Pure functions: the
// console program's commands and the front panel both use them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/block_text.h"
#include "model/profile.h"

namespace model {

// "Configuration<n + 1>": the section of place n (0 to 125).
std::string SectionOf(uint32_t number);
// The lines of place n's section: header, escaped name (52 bytes up to the first zero), block.
std::string StoredSection(uint32_t number, const uint8_t* name, const uint8_t* block);

// The name and block of one section.
struct ParsedSection {
  uint32_t number = 0;
  uint8_t name[kNameSize] = {};
  uint8_t block[kBlockSize] = {};
};
// Reads place n's section. missing: the section or its Name entry is not there; otherwise a false
// result names the bad entry in failed.
bool ParseSection(ProfileFile& profile, uint32_t number, ParsedSection& out, bool& missing,
                  std::string& failed);
// Reads every section of the file, in order of the places; the whole file is checked before it
// is used. False at the first bad section, with its place and the bad entry.
bool ParseStoredFile(ProfileFile& profile, std::vector<ParsedSection>& out, uint32_t& bad_number,
                     std::string& failed);

}  // namespace model
