// The serial ports as a person at a Linux machine meets them: named by path or kind in place of a
// COM number, listed from the file system, and the device an unmapped COM number falls back to.
#pragma once
#include <cstdint>
#include <string>

namespace control {

// A port named in place of the COM number: a device path, "sim", "sim:<file>" or
// "rfc2217://host:port" (the library opens it by that name; the environment is left alone).
bool IsPortName(const char* text);

// What COM com names for the library: the value of KESTRAVO_COM<com>, or the device it falls back
// to; fallback tells which.
std::string ComTarget(uint32_t com, bool& fallback);

// Prints the serial ports present below root ("" for the machine's own /dev and /sys): the
// /dev/serial/by-id names with the devices they point to, then /dev/ttyUSB*, /dev/ttyACM* and the
// /dev/ttyS* whose UART type in sysfs is not 0, marking those the user may not open and the
// kernel's console. It only reads directories, links and sysfs; it opens no device. False, with
// nothing printed, for a ROOT that does not exist.
bool ListPorts(const std::string& root);

}  // namespace control
