// The reply conversions against the C library's sscanf, which they reproduce.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int width = data[0] % 10;                                             // 0: no width
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);  // sscanf needs the NUL
  for (int base : {16, 10}) {
    const kestravo::Scanned ours = kestravo::ScanUnsigned(text.c_str(), base, width);
    char format[16];
    const char* conversion = base == 16 ? "lX" : "lu";
    if (width)
      std::snprintf(format, sizeof format, "%%%d%s%%n", width, conversion);
    else
      std::snprintf(format, sizeof format, "%%%s%%n", conversion);
    unsigned long value = 0;
    int used = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int converted = std::sscanf(text.c_str(), format, &value, &used);
#pragma GCC diagnostic pop
    if ((converted == 1) != ours.ok) std::abort();
    if (ours.ok && (value != ours.value || size_t(used) != ours.used)) std::abort();
  }
  int16_t s = 0;
  kestravo::ScanShort(text.c_str(), s);
  return 0;
}
