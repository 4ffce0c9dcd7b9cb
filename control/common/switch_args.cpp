#include "control/common/switch_args.h"

#include <cctype>
#include <cstdio>

#include "control/common/console.h"
#include "control/common/state.h"
#include "model/numbers.h"

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

bool SwitchNumber(const char* text, uint32_t& value) {
  return model::ParseUnsigned(text, value) == model::kNumberParsed;
}

int IndexDigit(const char* text, char highest) {
  return (text[0] >= '0' && text[0] <= highest) ? text[0] - '0' : -1;
}

int RunWithoutCharacters(SwitchArgs& a, void (*run)()) {
  if (OpenDevicePort()) run();
  return *a.rest ? a.index : kParsed;
}

}  // namespace control
