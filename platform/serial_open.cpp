#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/serial_device.h"

namespace platform {
namespace {

// Made on first use and never destroyed: the library's unload notification still opens and
// closes ports after the runtime has destroyed its static objects.
std::map<std::string, SchemeOpener>& Schemes() {
  static auto* const schemes = new std::map<std::string, SchemeOpener>;
  return *schemes;
}
std::mutex& SchemesLock() {
  static auto* const lock = new std::mutex;
  return *lock;
}

}  // namespace

void RegisterScheme(const std::string& scheme, SchemeOpener opener) {
  const std::lock_guard<std::mutex> lock(SchemesLock());
  Schemes()[scheme] = std::move(opener);
}

std::unique_ptr<SerialDevice> OpenSerialDevice(const char* name) {
  SetOpenFailure("");
  std::string target = ResolveTarget(name);
  if (target.empty()) return nullptr;
  if (target[0] == '/') return OpenTermiosDevice(target);
  std::string scheme = target.substr(0, target.find(':'));
  std::string argument = scheme.size() < target.size() ? target.substr(scheme.size() + 1) : "";
  if (scheme == "rfc2217") return OpenRfc2217Device(argument);
  SchemeOpener opener;
  {
    const std::lock_guard<std::mutex> lock(SchemesLock());
    auto it = Schemes().find(scheme);
    if (it != Schemes().end()) opener = it->second;
  }
  if (!opener) {
    SetOpenFailure(target + ": no such kind of port");
    return nullptr;
  }
  return opener(argument);
}

}  // namespace platform
