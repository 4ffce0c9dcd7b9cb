#include "model/stored_text.h"

namespace model {

std::string SectionOf(uint32_t number) {
  return std::string("Configuration").append(std::to_string(number + 1));
}

std::string StoredSection(uint32_t number, const uint8_t* name, const uint8_t* block) {
  std::string s = "[";
  s.append(SectionOf(number)).append("]\nName=");
  s.append(EscapeConfigName(name)).append("\n").append(ConfigText(block));
  return s;
}

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

bool ParseStoredFile(ProfileFile& profile, std::vector<ParsedSection>& out, uint32_t& bad_number,
                     std::string& failed) {
  out.clear();
  for (uint32_t n = 0; n < kStoredConfigs; ++n) {
    ParsedSection parsed;
    bool missing = false;
    if (ParseSection(profile, n, parsed, missing, failed)) {
      out.push_back(parsed);
    } else if (!missing) {
      bad_number = n;
      return false;
    }
  }
  return true;
}

}  // namespace model
