#include "control/common/port_names.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/state.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string VariableOf(uint32_t com) { return "KESTRAVO_COM" + std::to_string(com); }

// "/a/b/../c" as the path it names, without asking the file system.
std::string Normalised(const std::string& path) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

// The text of a small sysfs file, without its line end; "" for anything but a regular file (a FIFO
// or a device there is never opened: it could block, or raise a UART's DTR).
std::string SysText(const std::string& path) {
  std::string text;
  if (platform::ReadRegularFile(path.c_str(), 4096, text) != platform::ReadResult::kRead) return "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

bool IsPortName(const char* text) {
  const std::string name = text;
  return platform::IsSystemDevicePath(name) || name == "sim" || StartsWith(name, "sim:") ||
         StartsWith(name, "rfc2217://");
}

std::string ComTarget(uint32_t com, bool& fallback) {
  const char* mapped = com >= 1 && com <= 255 ? std::getenv(VariableOf(com).c_str()) : nullptr;
  // Where COM n is the system's own device of that name, it needs no word.
  fallback = mapped == nullptr && !platform::SystemSerialDeviceIsComN();
  return mapped ? mapped : platform::SystemSerialDevice(com);
}

namespace {

// A port of the list: its name (a by-id link's too) and what the list says of it.
struct ListedPort {
  std::string name, device;  // device: where a by-id link leads, else ""
  bool console = false, usable = true;
};

std::vector<ListedPort> FindPorts(const std::string& root) {
  std::vector<ListedPort> ports;
  if (platform::SystemSerialDeviceIsComN()) {  // Windows: the system's COM ports
    for (const std::string& port : platform::SystemComPorts()) ports.push_back({port, "", false, true});
    return ports;
  }
  // The console's names, each between blanks (built by appending: GCC 12 warns wrongly at -O3 on
  // " " + text).
  std::string console(" ");
  console.append(SysText(root + "/sys/class/tty/console/active")).append(" ");
  auto add = [&](const std::string& name, const std::string& device) {
    const std::string& path = device.empty() ? name : device;
    const std::string base = path.substr(path.rfind('/') + 1);
    ports.push_back({name, device, console.find(" " + base + " ") != std::string::npos,
                     platform::MayReadWrite(root + path)});
  };
  const std::string by_id = "/dev/serial/by-id";
  for (const std::string& name : platform::DirectoryEntries(root + by_id)) {
    const std::string link = platform::LinkText(root + by_id + "/" + name);
    add(by_id + "/" + name, link.empty()     ? by_id + "/" + name
                            : link[0] == '/' ? Normalised(link)
                                             : Normalised(by_id + "/" + link));
  }
  const std::vector<std::string> devices = platform::DirectoryEntries(root + "/dev");
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    for (const std::string& name : devices) {
      if (!StartsWith(name, prefix)) continue;
      // A ttyS without a UART behind it (type 0, or none) is a name only.
      const std::string type = SysText(root + "/sys/class/tty/" + name + "/type");
      if (std::strcmp(prefix, "ttyS") == 0 && (type.empty() || type == "0")) continue;
      add("/dev/" + name, "");
    }
  }
  return ports;
}

}  // namespace

bool ListPorts(const std::string& root) {
  // A machine image that is not there lists nothing, which would read as a machine without ports.
  if (!platform::SystemSerialDeviceIsComN() && !root.empty() && !platform::Exists(root)) return false;
  const std::vector<ListedPort> ports = FindPorts(root);
  if (State.json) {
    model::JsonArray list;
    for (const ListedPort& p : ports) {
      model::JsonObject port;
      port.Text("name", p.name);
      if (!p.device.empty()) port.Text("device", p.device);
      list.Object(port.Bool("console", p.console).Bool("usable", p.usable));
    }
    JsonRecord("ports", model::JsonObject().Array("ports", list));
    return true;
  }
  for (const ListedPort& p : ports) {
    std::string line = Printable(p.name);
    if (!p.device.empty()) line += " -> " + Printable(p.device);
    if (p.console) line += " (the kernel's console)";
    if (!p.usable) line += " (not for this user: it may need to be in the 'dialout' group)";
    Print("%s\n", line.c_str());
  }
  if (ports.empty()) Print("No serial ports found\n");
  return true;
}

}  // namespace control
