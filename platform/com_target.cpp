// Which device COM n names: the environment variable KESTRAVO_COM<n>, else /dev/ttyS<n-1>. Used by
// the library to open a port and by the console program to explain why one did not open.
#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/serial_device.h"

namespace platform {
namespace {

// "\\.\COM12" -> 12; 0 when the name is not of that form.
unsigned ComNumberOf(const char* name) {
  static const char kPrefix[] = "\\\\.\\COM";
  if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0) return 0;
  const char* digits = name + sizeof kPrefix - 1;
  if (*digits < '0' || *digits > '9') return 0;
  char* end = nullptr;
  unsigned long n = std::strtoul(digits, &end, 10);
  return (*end == 0 && n <= 65535) ? unsigned(n) : 0;
}

}  // namespace

std::string ResolveTarget(const char* name) {
  unsigned n = ComNumberOf(name);
  if (n == 0) return "";
  char var[32];
  std::snprintf(var, sizeof var, "KESTRAVO_COM%u", n);
  if (const char* target = std::getenv(var)) return target;
  char path[32];
  std::snprintf(path, sizeof path, "/dev/ttyS%u", n - 1);
  return path;
}

std::string ExplainOpenFailure(unsigned com) {
  if (com == 0) return "no device has this number (COM numbers run from 1 to 255)";
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\COM%u", com);
  const std::string target = ResolveTarget(name);
  if (target.rfind("sim", 0) == 0) return "";  // the simulated device has said why itself
  if (target.rfind("rfc2217:", 0) == 0)
    return target +
           ": the server cannot be reached or does not offer COM-PORT-OPTION (the debug trace says which)";
  if (target.empty() || target[0] != '/') return "'" + target + "' names no kind of port";
  if (access(target.c_str(), F_OK) != 0) return target + ": " + std::strerror(errno);
  if (access(target.c_str(), R_OK | W_OK) != 0) {
    const bool denied = errno == EACCES;
    return target + ": " + std::strerror(errno) +
           (denied ? " (the user may need to be in the 'dialout' group)" : "");
  }
  return target + ": in use by another program, or not a serial device";
}

}  // namespace platform
