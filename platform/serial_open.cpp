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

}  // namespace

void RegisterScheme(const std::string& scheme, SchemeOpener opener) { Schemes()[scheme] = std::move(opener); }

std::unique_ptr<SerialDevice> OpenSerialDevice(const char* name) {
  SetOpenFailure("");
  std::string target = ResolveTarget(name);
  if (target.empty()) return nullptr;
  if (target[0] == '/') return OpenTermiosDevice(target);
  std::string scheme = target.substr(0, target.find(':'));
  std::string argument = scheme.size() < target.size() ? target.substr(scheme.size() + 1) : "";
  auto it = Schemes().find(scheme);
  if (it == Schemes().end()) {
    SetOpenFailure(target + ": no such kind of port");
    return nullptr;
  }
  return it->second(argument);
}

}  // namespace platform
