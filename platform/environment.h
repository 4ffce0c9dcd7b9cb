// The environment of the process, and the system's own name for a serial port: the two things the
// COM-number mapping (KESTRAVO_COM<n>) needs of the operating system.
#pragma once
#include <string>
#include <vector>

namespace platform {

// Sets an environment variable of this process (seen by later getenv calls); false when it failed.
bool SetEnvironment(const std::string& name, const std::string& value);

// The system's serial device for COM com where KESTRAVO_COM<com> is not set: /dev/ttyS<com-1> on
// Linux, \\.\COM<com> on Windows.
std::string SystemSerialDevice(unsigned com);
// True where that device is what users mean by COM n (Windows); on Linux it may be the system's
// console, which is worth a word before it is opened.
bool SystemSerialDeviceIsComN();
// The serial ports the system names as COM ports, with what each is ("COM3 -> \\Device\\Serial0"),
// in the order of their numbers; Windows only (empty elsewhere: Linux ports are found in /dev and
// sysfs by the console program's listing).
std::vector<std::string> SystemComPorts();
// Whether a port name is a path of the system's devices ("/dev/ttyUSB0"; "\\.\COM3" or "COM3").
bool IsSystemDevicePath(const std::string& name);

}  // namespace platform
