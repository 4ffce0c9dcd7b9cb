#include "ports/kinds.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/environment.h"
#include "platform/thread.h"

namespace ports {
namespace {

// A built-in kind: the scheme that names it, and its opener, which gets the text after "scheme:"
// (for a device path, the whole path). A constant table: nothing to set up before the first use.
struct Kind {
  const char* scheme;
  std::unique_ptr<SerialDevice> (*open)(const std::string& argument);
};
constexpr Kind kKinds[] = {
    {"sim", OpenSimDevice},
    {"rfc2217", OpenRfc2217Device},
};

// Per thread, since opens on different slots may run side by side: a table of the threads that
// opened last, in static storage (no thread-local variable, which would cost the Windows DLL a TLS
// index that unloading never gives back; nothing to free at unload). More threads opening at once
// than the table holds would only share the oldest entry's text.
struct OpenFailure {
  uint64_t thread;  // 0: a free entry
  char text[512];
};
constexpr size_t kOpenFailures = 32;
OpenFailure g_open_failures[kOpenFailures];
size_t g_next_failure = 0;
std::mutex g_open_failures_lock;

// This thread's entry (a new one, the oldest, when it has none). Called with the lock held.
OpenFailure& ThreadEntry() {
  const uint64_t self = platform::CurrentThreadId();
  for (OpenFailure& f : g_open_failures)
    if (f.thread == self) return f;
  OpenFailure& f = g_open_failures[g_next_failure++ % kOpenFailures];
  f.thread = self;
  f.text[0] = 0;
  return f;
}

// Made on first use and never destroyed: the library's unload notification still opens and
// closes ports after the runtime has destroyed its static objects.
std::map<std::string, KindOpener>& Registered() {
  static auto* const kinds = new std::map<std::string, KindOpener>;
  return *kinds;
}
std::mutex& RegisteredLock() {
  static auto* const lock = new std::mutex;
  return *lock;
}

}  // namespace

void SetOpenFailure(const std::string& why) {
  const std::lock_guard<std::mutex> lock(g_open_failures_lock);
  OpenFailure& f = ThreadEntry();
  std::snprintf(f.text, sizeof f.text, "%s", why.c_str());
}
const char* LastOpenFailure() {
  const std::lock_guard<std::mutex> lock(g_open_failures_lock);
  return ThreadEntry().text;
}

void RegisterKind(const std::string& scheme, KindOpener opener) {
  const std::lock_guard<std::mutex> lock(RegisteredLock());
  Registered()[scheme] = std::move(opener);
}

std::string TargetOf(unsigned com) {
  char var[32];
  std::snprintf(var, sizeof var, "KESTRAVO_COM%u", com);
  if (const char* target = std::getenv(var)) return target;
  return platform::SystemSerialDevice(com);
}

std::unique_ptr<SerialDevice> OpenPort(unsigned com) {
  SetOpenFailure("");
  if (com == 0) {
    SetOpenFailure("no device has this number (COM numbers run from 1 to 255)");
    return nullptr;
  }
  return OpenNamedPort(TargetOf(com));
}

std::unique_ptr<SerialDevice> OpenNamedPort(const std::string& target) {
  SetOpenFailure("");
  if (target.empty()) {
    SetOpenFailure("no port was named");
    return nullptr;
  }
  if (platform::IsSystemDevicePath(target)) return OpenSystemDevice(target);
  const std::string scheme = target.substr(0, target.find(':'));
  const std::string argument = scheme.size() < target.size() ? target.substr(scheme.size() + 1) : "";
  for (const Kind& kind : kKinds)
    if (scheme == kind.scheme) return kind.open(argument);
  KindOpener opener;
  {
    const std::lock_guard<std::mutex> lock(RegisteredLock());
    auto it = Registered().find(scheme);
    if (it != Registered().end()) opener = it->second;
  }
  if (!opener) {
    SetOpenFailure("'" + target + "' names no kind of port");
    return nullptr;
  }
  return opener(argument);
}

}  // namespace ports
