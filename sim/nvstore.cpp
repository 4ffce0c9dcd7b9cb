// The simulated device's non-volatile state in a text file:
//   KESTRAVO-SIM-NV 1
//   times <total up s> <total operating s>
//   config <n> <flags> <150 hex digits of the block> <104 hex digits of the name>   (126 lines)
//   memory <address> <128 hex digits>                                             (128 lines)
//   end
#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/files.h"
#include "sim/sim.h"

namespace sim {
namespace {

const char kHeader[] = "KESTRAVO-SIM-NV 1";
constexpr int kMemoryLine = 64;
constexpr size_t kStateFileLimit = 1u << 20;  // a state file takes about 70 KiB

bool Unhex(const std::string& s, uint8_t* out, size_t n) {
  if (s.size() != 2 * n) return false;
  for (size_t i = 0; i < n; ++i) {
    unsigned v = 0;
    for (int k = 0; k < 2; ++k) {
      char c = s[2 * i + k];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + unsigned(d);
    }
    out[i] = uint8_t(v);
  }
  return true;
}

std::string Hexed(const uint8_t* p, size_t n) {
  std::string s;
  char buf[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", p[i]);
    s += buf;
  }
  return s;
}

// The text of the state file; false with the reason. Without a file, fresh is set and the text
// is empty.
bool ReadStateText(const std::string& path, std::string& text, bool& fresh, std::string& error) {
  // Only a regular file is a state file: a FIFO would block the opening, a device such as
  // /dev/zero would never end.
  struct stat st {};
  fresh = false;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) {
      fresh = true;
      return true;
    }
    error = "cannot read the state file '" + path + "': " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "the state file '" + path + "' is not a regular file";
    return false;
  }
  switch (platform::ReadBounded(path.c_str(), kStateFileLimit, text)) {
    case platform::ReadResult::kRead:
      return true;
    case platform::ReadResult::kTooLarge:
      error = "the state file '" + path + "' is damaged (longer than " + std::to_string(kStateFileLimit) +
              " bytes); it was left as it is";
      return false;
    default:
      error = "cannot read the state file '" + path + "': " + std::strerror(errno);
      return false;
  }
}

// The state as its lines are read.
struct Loading {
  NonVolatile nv;
  int configs = 0, memory_lines = 0;
  bool header = false, times = false, end = false;
  bool Complete() const {
    return header && times && configs == kStoredConfigs && memory_lines == kMemorySize / kMemoryLine && end;
  }
};

// Takes one line into the state; "" when it reads, else why the file is damaged.
std::string ReadLine(const std::string& line, Loading& l) {
  if (l.end) return "text after the end";
  if (!l.header) {
    if (line != kHeader) return "not a state file of the simulated device";
    l.header = true;
    return "";
  }
  std::istringstream fields(line);
  std::string kind;
  fields >> kind;
  if (kind == "times") {
    if (l.times || !(fields >> l.nv.total_up_s >> l.nv.total_op_s)) return "bad times";
    l.times = true;
  } else if (kind == "config") {
    int n = -1, flags = -1;
    std::string block, name;
    // Each index is checked before anything is written to its place.
    if (l.configs >= kStoredConfigs) return "more configuration entries than places";
    if (!(fields >> n >> flags >> block >> name) || n != l.configs || flags < 0 || flags > 3 ||
        !Unhex(block, l.nv.blocks[size_t(n)].data(), kBlockSize) ||
        !Unhex(name, l.nv.names[size_t(n)].data(), kNameSize))
      return "bad configuration entry";
    l.nv.flags[size_t(n)] = uint8_t(flags);
    ++l.configs;
  } else if (kind == "memory") {
    int address = -1;
    std::string bytes;
    if (l.memory_lines >= kMemorySize / kMemoryLine) return "more memory entries than the memory holds";
    if (!(fields >> address >> bytes) || address != l.memory_lines * kMemoryLine ||
        !Unhex(bytes, l.nv.memory.data() + address, kMemoryLine))
      return "bad memory entry";
    ++l.memory_lines;
  } else if (kind == "end") {
    l.end = true;
  } else {
    return "unknown entry";
  }
  std::string rest;
  if (fields >> rest) return "extra text";
  return "";
}

}  // namespace

bool LoadNonVolatile(const std::string& path, NonVolatile& nv, std::string& error) {
  std::string text;
  bool fresh = false;
  if (!ReadStateText(path, text, fresh, error)) return false;
  if (fresh) {
    nv = NonVolatile{};
    return true;
  }
  std::istringstream in(text);
  Loading loading;
  std::string line;
  int line_no = 0;
  auto fail = [&](const std::string& why) {
    error = "the state file '" + path + "' is damaged (line " + std::to_string(line_no) + ": " + why +
            "); it was left as it is";
    return false;
  };
  while (std::getline(in, line)) {
    ++line_no;
    const std::string why = ReadLine(line, loading);
    if (!why.empty()) return fail(why);
  }
  if (!loading.Complete()) return fail("incomplete");
  // The device never runs longer than it is switched on.
  if (loading.nv.total_op_s > loading.nv.total_up_s) loading.nv.total_op_s = loading.nv.total_up_s;
  nv = loading.nv;
  return true;
}

// A new file of a name of its own beside the old one, renamed over it when complete: devices that
// share one state file never see a torn file, and the last complete state wins.
bool SaveNonVolatile(const std::string& path, const NonVolatile& nv) {
  std::string text = std::string(kHeader) + "\ntimes " + std::to_string(nv.total_up_s) + " " +
                     std::to_string(nv.total_op_s) + "\n";
  for (int n = 0; n < kStoredConfigs; ++n)
    text.append("config ")
        .append(std::to_string(n))
        .append(" ")
        .append(std::to_string(unsigned(nv.flags[size_t(n)])))
        .append(" ")
        .append(Hexed(nv.blocks[size_t(n)].data(), kBlockSize))
        .append(" ")
        .append(Hexed(nv.names[size_t(n)].data(), kNameSize))
        .append("\n");
  for (int a = 0; a < kMemorySize; a += kMemoryLine)
    text.append("memory ")
        .append(std::to_string(a))
        .append(" ")
        .append(Hexed(nv.memory.data() + a, kMemoryLine))
        .append("\n");
  text.append("end\n");
  platform::SafeFile out;
  if (!out.Open(path)) return false;
  if (std::fwrite(text.data(), 1, text.size(), out.file()) != text.size()) return false;
  return out.Commit();
}

}  // namespace sim
