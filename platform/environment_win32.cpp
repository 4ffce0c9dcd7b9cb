#include <cctype>
#include <cstdlib>

#include "platform/environment.h"

namespace platform {

bool SetEnvironment(const std::string& name, const std::string& value) {
  return _putenv_s(name.c_str(), value.c_str()) == 0;
}

std::string SystemSerialDevice(unsigned com) { return "\\\\.\\COM" + std::to_string(com); }
bool SystemSerialDeviceIsComN() { return true; }

bool IsSystemDevicePath(const std::string& name) {
  if (name.rfind("\\\\.\\", 0) == 0) return true;
  // COM1 to COM255 as a name, in any case.
  if (name.size() < 4 || name.size() > 6) return false;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
  for (size_t i = 3; i < name.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  return name[3] != '0';
}

}  // namespace platform
