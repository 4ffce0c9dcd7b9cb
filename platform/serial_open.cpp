#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/serial_device.h"

namespace platform {
namespace {

// Made on first use and never destroyed: the library's unload notification still opens and
// closes ports after the runtime has destroyed its static objects.
std::map<std::string, SchemeOpener>& Schemes() {
  static auto* const schemes = new std::map<std::string, SchemeOpener>;
  return *schemes;
}

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

void RegisterScheme(const std::string& scheme, SchemeOpener opener) { Schemes()[scheme] = std::move(opener); }

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

std::unique_ptr<SerialDevice> OpenSerialDevice(const char* name) {
  std::string target = ResolveTarget(name);
  if (target.empty()) return nullptr;
  if (target[0] == '/') return OpenTermiosDevice(target);
  std::string scheme = target.substr(0, target.find(':'));
  std::string argument = scheme.size() < target.size() ? target.substr(scheme.size() + 1) : "";
  auto it = Schemes().find(scheme);
  if (it == Schemes().end()) return nullptr;
  return it->second(argument);
}

}  // namespace platform
