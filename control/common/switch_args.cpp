#include "control/common/switch_args.h"

#include <cctype>
#include <cstdio>

#include "control/common/console.h"
#include "control/common/state.h"

namespace control {

bool SwitchArgs::small() const { return std::islower(typed) != 0; }

const char* SwitchArgs::Next() {
  if (index + 1 >= argc) return nullptr;
  return argv[++index];
}

bool ScanUnsignedShort(const char* text, uint16_t& out) {
  unsigned short v = 0;
  if (std::sscanf(text, "%hu", &v) != 1) return false;
  out = v;
  return true;
}

bool SwitchNumber(const char* text, uint32_t& value) { return ParseUnsigned(text, value) == kNumberParsed; }

int IndexDigit(const char* text, char highest) {
  return (text[0] >= '0' && text[0] <= highest) ? text[0] - '0' : -1;
}

int RunIndexedSwitch(SwitchArgs& a, const IndexedSwitchRow* rows, size_t count) {
  const char sub = a.rest[0] ? a.rest[1] : 0;
  for (size_t i = 0; i < count; ++i) {
    const IndexedSwitchRow& row = rows[i];
    const bool set = sub == row.letter;
    if (!set && sub != std::tolower(row.letter)) continue;
    const int x = IndexDigit(a.rest, row.highest);
    if (x < 0) return a.index;
    uint32_t v = 0;
    if (set ? !SwitchNumber(a.rest + 2, v) || (row.value_limit && v >= row.value_limit) : a.rest[2] != 0)
      return a.index;
    if (!OpenDevicePort()) return kParsed;
    if (set)
      row.set(uint32_t(x), v);
    else
      row.show(uint32_t(x));
    return kParsed;
  }
  return a.index;
}

int RunWithoutCharacters(SwitchArgs& a, void (*run)()) {
  if (OpenDevicePort()) run();
  return *a.rest ? a.index : kParsed;
}

}  // namespace control
