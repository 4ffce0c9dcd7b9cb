// The kinds of port, and which one COM n is. COM n is what the environment variable
// KESTRAVO_COM<n> names, or the system's device when it is not set (/dev/ttyS<n-1> on Linux,
// \\.\COM<n> on Windows):
//   a device path          a serial device (termios; the Win32 serial API)
//   sim, sim:<file>        the simulated device, its stored state kept in <file>
//   rfc2217://host:port    a remote port over RFC 2217
// One table holds the kinds; each kind opens its devices and says why an opening failed.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "ports/port.h"

namespace ports {

// Opens COM com; null when it cannot be opened, with the reason in LastOpenFailure().
std::unique_ptr<SerialDevice> OpenPort(unsigned com);

// Opens the port a name gives, as a value of KESTRAVO_COM<n> gives it (a device path, "sim",
// "sim:<file>", "rfc2217://host:port"; on Windows "COM12" or "\\.\COM12"); null when it cannot be
// opened, with the reason in LastOpenFailure(). The environment is not read.
std::unique_ptr<SerialDevice> OpenNamedPort(const std::string& name);

// What COM com names (the value of KESTRAVO_COM<com>, or the fallback device path).
std::string TargetOf(unsigned com);

// Why the last opening in this thread failed, in plain words ("<device>: <reason>"); "" when it
// did not fail. Each kind sets it when it refuses.
void SetOpenFailure(const std::string& why);
const char* LastOpenFailure();

// A further kind, reached by "scheme" or "scheme:argument" (scripted peers in tests, embedders);
// a later registration replaces an earlier one of the same name. The built-in kinds need none.
using KindOpener = std::function<std::unique_ptr<SerialDevice>(const std::string& argument)>;
void RegisterKind(const std::string& scheme, KindOpener opener);

// The built-in kinds' openers. The system's serial devices: termios on Linux, the Win32 serial
// API on Windows (a name "COMn" is opened as "\\.\COMn").
std::unique_ptr<SerialDevice> OpenSystemDevice(const std::string& path);
std::unique_ptr<SerialDevice> OpenSimDevice(const std::string& state_file);
std::unique_ptr<SerialDevice> OpenRfc2217Device(const std::string& argument);

}  // namespace ports
