// The simulated device's non-volatile state in a text file:
//   KESTRAVO-SIM-NV 1
//   times <total up s> <total operating s>
//   config <n> <flags> <150 hex digits of the block> <104 hex digits of the name>   (126 lines)
//   memory <address> <128 hex digits>                                             (128 lines)
//   end
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "sim/sim.h"

namespace sim {
namespace {

const char kHeader[] = "KESTRAVO-SIM-NV 1";
constexpr int kMemoryLine = 64;

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

}  // namespace

bool LoadNonVolatile(const std::string& path, NonVolatile& nv, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    if (errno == ENOENT) {
      nv = NonVolatile{};
      return true;  // a fresh device
    }
    error = "cannot read the state file '" + path + "': " + std::strerror(errno);
    return false;
  }
  NonVolatile loaded;
  std::string line;
  int configs = 0, memory_lines = 0, line_no = 0;
  bool header = false, times = false, end = false;
  auto fail = [&](const std::string& why) {
    error = "the state file '" + path + "' is damaged (line " + std::to_string(line_no) + ": " + why +
            "); it was left as it is";
    return false;
  };
  while (std::getline(in, line)) {
    ++line_no;
    if (end) return fail("text after the end");
    if (!header) {
      if (line != kHeader) return fail("not a state file of the simulated device");
      header = true;
      continue;
    }
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "times") {
      if (!(fields >> loaded.total_up_s >> loaded.total_op_s)) return fail("bad times");
      times = true;
    } else if (kind == "config") {
      int n = -1, flags = -1;
      std::string block, name;
      if (!(fields >> n >> flags >> block >> name) || n != configs || flags < 0 || flags > 3 ||
          !Unhex(block, loaded.blocks[n].data(), kBlockSize) ||
          !Unhex(name, loaded.names[n].data(), kNameSize))
        return fail("bad configuration entry");
      loaded.flags[n] = uint8_t(flags);
      ++configs;
    } else if (kind == "memory") {
      int address = -1;
      std::string bytes;
      if (!(fields >> address >> bytes) || address != memory_lines * kMemoryLine ||
          !Unhex(bytes, loaded.memory.data() + address, kMemoryLine))
        return fail("bad memory entry");
      ++memory_lines;
    } else if (kind == "end") {
      end = true;
    } else {
      return fail("unknown entry");
    }
    std::string rest;
    if (fields >> rest) return fail("extra text");
  }
  if (!header || !times || configs != kStoredConfigs || memory_lines != kMemorySize / kMemoryLine || !end)
    return fail("incomplete");
  nv = loaded;
  return true;
}

bool SaveNonVolatile(const std::string& path, const NonVolatile& nv) {
  std::string temp = path + ".new";
  FILE* f = std::fopen(temp.c_str(), "w");
  if (!f) return false;
  std::fprintf(f, "%s\ntimes %u %u\n", kHeader, nv.total_up_s, nv.total_op_s);
  for (int n = 0; n < kStoredConfigs; ++n)
    std::fprintf(f, "config %d %u %s %s\n", n, unsigned(nv.flags[n]),
                 Hexed(nv.blocks[n].data(), kBlockSize).c_str(),
                 Hexed(nv.names[n].data(), kNameSize).c_str());
  for (int a = 0; a < kMemorySize; a += kMemoryLine)
    std::fprintf(f, "memory %d %s\n", a, Hexed(nv.memory.data() + a, kMemoryLine).c_str());
  std::fprintf(f, "end\n");
  bool ok = std::fflush(f) == 0 && fsync(fileno(f)) == 0;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace sim
