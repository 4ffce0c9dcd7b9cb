#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/environment.h"

namespace platform {

bool SetEnvironment(const std::string& name, const std::string& value) {
  return _putenv_s(name.c_str(), value.c_str()) == 0;
}

std::string SystemSerialDevice(unsigned com) { return "\\\\.\\COM" + std::to_string(com); }
bool SystemSerialDeviceIsComN() { return true; }

std::vector<std::string> SystemComPorts() {
  // Every DOS device name, NUL-separated; the COM ones with the device each stands for. A machine
  // with many devices needs more than 64 KiB: the buffer grows until the list fits.
  std::vector<char> names(1 << 16);
  DWORD n = 0;
  while ((n = QueryDosDeviceA(nullptr, names.data(), DWORD(names.size()))) == 0 &&
         GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < (64u << 20))
    names.resize(names.size() * 2);
  std::vector<std::pair<unsigned, std::string>> found;
  for (DWORD at = 0; at < n && names[at];) {
    const std::string name = names.data() + at;
    at += DWORD(name.size() + 1);
    if (!IsSystemDevicePath(name) || name.rfind("\\", 0) == 0) continue;
    char target[512] = "";
    QueryDosDeviceA(name.c_str(), target, sizeof target);
    std::string upper = name;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    found.emplace_back(unsigned(std::stoul(upper.substr(3))),
                       upper + (target[0] ? std::string(" -> ") + target : ""));
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (const auto& f : found) out.push_back(f.second);
  return out;
}

bool IsSystemDevicePath(const std::string& text) {
  if (text.rfind("\\\\.\\", 0) == 0) return true;
  // COM1 to COM255 as a name, in any case, with or without the usual colon ("COM5:").
  const std::string name = !text.empty() && text.back() == ':' ? text.substr(0, text.size() - 1) : text;
  if (name.size() < 4 || name.size() > 6) return false;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
  for (size_t i = 3; i < name.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  return name[3] != '0';
}

}  // namespace platform
