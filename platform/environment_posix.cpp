#include <cstdlib>

#include "platform/environment.h"

namespace platform {

bool SetEnvironment(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string SystemSerialDevice(unsigned com) { return "/dev/ttyS" + std::to_string(com - 1); }
bool SystemSerialDeviceIsComN() { return false; }
std::vector<std::string> SystemComPorts() { return {}; }

bool IsSystemDevicePath(const std::string& name) { return !name.empty() && name[0] == '/'; }

}  // namespace platform
