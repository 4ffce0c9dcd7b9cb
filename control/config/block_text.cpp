#include "control/config/block_text.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/device_texts.h"
#include "control/common/format.h"
#include "platform/terminal.h"

namespace control {
namespace {

const char* const kFlags[] = {"DeviceEnable",  "OscillatorEnable",     "PulserEnable",    "SoftwareTrigger",
                              "SoftwarePulse", "PreventDeviceDisable", "DisableDithering"};

// Little-endian groups of bytes, and bit fields inside them.
uint32_t Group(const uint8_t* b, int offset, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[offset + i];
  return v;
}
void PutGroup(uint8_t* b, int offset, int bytes, uint32_t v) {
  for (int i = 0; i < bytes; ++i) b[offset + i] = uint8_t(v >> (8 * i));
}
uint32_t Bits(uint32_t v, int shift, int width) { return v >> shift & ((1u << width) - 1); }
void PutBits(uint8_t* b, int offset, int bytes, int shift, int width, uint32_t value) {
  const uint32_t mask = ((1u << width) - 1) << shift;
  PutGroup(b, offset, bytes, (Group(b, offset, bytes) & ~mask) | (value << shift & mask));
}

// The signal fields of the pulsers and bursts: (offset, bytes, shift).
struct Field {
  int offset, bytes, shift;
};
constexpr Field kPulserField[4] = {{COM_KESTRAVO_CFG_PULSER_SOURCES_0_1, 3, 0},
                                   {COM_KESTRAVO_CFG_PULSER_SOURCES_0_1, 3, 12},
                                   {COM_KESTRAVO_CFG_PULSER_SOURCES_2_3, 2, 0},
                                   {COM_KESTRAVO_CFG_PULSER_SOURCES_2_3, 2, 6}};
constexpr Field kBurstField[2] = {{COM_KESTRAVO_CFG_PULSER_SOURCES_0_1, 3, 6},
                                  {COM_KESTRAVO_CFG_PULSER_SOURCES_0_1, 3, 18}};
Field DIOField(unsigned j) {
  return j < 4 ? Field{COM_KESTRAVO_CFG_DIO_SOURCES_0_3, 3, int(6 * j)}
               : Field{COM_KESTRAVO_CFG_DIO_SOURCES_4_6, 3, int(6 * (j - 4))};
}

std::string Token(uint32_t field, unsigned list) {
  const uint32_t index = field & 0x1F;
  return kSourceTexts[index < list ? index : list - 1].token;
}
const char* Polarity(uint32_t field) { return (field & 0x20) ? "Neg" : "Pos"; }
std::string Signal(uint32_t field, unsigned list) { return Token(field, list) + "," + Polarity(field); }

// One list entry, taken apart from its end.
class Fields {
 public:
  explicit Fields(char* text) : text_(text) {}
  // The text after the last remaining ','; false when there is none.
  bool Last(const char*& field) {
    char* comma = std::strrchr(text_, ',');
    if (!comma) return false;
    *comma = 0;
    field = comma + 1;
    return true;
  }
  const char* Rest() const { return text_; }

 private:
  char* text_;
};

// "%lu": leading blanks skipped, digits, the rest ignored; a 32-bit value.
bool Number(const char* text, uint32_t& value, uint32_t highest = 0xFFFFFFFFu) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  if (*p == '+' || *p == '-') ++p;
  if (*p < '0' || *p > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  // A minus sign wraps, as it does in the C library's conversion: such a value is above any limit.
  if (errno == ERANGE || end == text || v > highest) return false;
  value = uint32_t(v);
  return true;
}

bool TokenIndex(const char* text, unsigned list, uint32_t& index) {
  for (unsigned i = 0; i < list; ++i)
    if (strcasecmp(text, kSourceTexts[i].token) == 0) {
      index = i;
      return true;
    }
  return false;
}

// The source token and polarity token of a signal field, as the last two fields of an entry.
bool ReadSignal(Fields& f, unsigned list, uint32_t& field) {
  const char *polarity = nullptr, *source = nullptr;
  if (!f.Last(polarity)) return false;
  uint32_t index = 0;
  if (strcasecmp(polarity, "Pos") != 0 && strcasecmp(polarity, "Neg") != 0) return false;
  if (!f.Last(source) || !TokenIndex(source, list, index)) return false;
  field = index | (strcasecmp(polarity, "Neg") == 0 ? 0x20u : 0u);
  return true;
}

// The source token first, then the polarity, then `count` numbers of at most 15 (switch lines).
bool ReadSourceFirst(char* text, int count, uint32_t* numbers, uint32_t& field) {
  Fields f(text);
  for (int i = count - 1; i >= 0; --i) {
    const char* n = nullptr;
    if (!f.Last(n) || !Number(n, numbers[i], 15)) return false;
  }
  const char* polarity = nullptr;
  uint32_t index = 0;
  if (!f.Last(polarity) || (strcasecmp(polarity, "Pos") != 0 && strcasecmp(polarity, "Neg") != 0))
    return false;
  if (!TokenIndex(f.Rest(), kSignalSources, index)) return false;
  field = index | (strcasecmp(polarity, "Neg") == 0 ? 0x20u : 0u);
  return true;
}

// The value of a list entry (at most 99 characters).
bool Entry(ProfileFile& p, const char* section, const char* key, char (&value)[100]) {
  return p.GetWhole(section, key, value, sizeof value);
}

}  // namespace

std::string ConfigText(const uint8_t* b) {
  std::string s = Format("Oscillator=%u\n", Group(b, COM_KESTRAVO_CFG_OSCILLATOR_PERIOD, 4));
  for (unsigned i = 0; i < 4; ++i) {
    const Field& pf = kPulserField[i];
    s += Format("Pulser%u=%u,%u,%s\n", i, Group(b, COM_KESTRAVO_CFG_PULSER_DELAYS + 4 * int(i), 4),
                Group(b, COM_KESTRAVO_CFG_PULSER_WIDTHS + 4 * int(i), 4),
                Signal(Bits(Group(b, pf.offset, pf.bytes), pf.shift, 6), kSignalSources).c_str());
    if (i < 2) {
      const Field& bf = kBurstField[i];
      s += Format("Burst%u=%u,%s\n", i, Group(b, COM_KESTRAVO_CFG_BURST_SIZES + 3 * int(i), 3),
                  Signal(Bits(Group(b, bf.offset, bf.bytes), bf.shift, 6), kSignalSources).c_str());
    }
  }
  for (unsigned j = 0; j < 7; ++j) {
    const char* direction = (b[COM_KESTRAVO_CFG_DIO_OUTPUTS] >> j & 1)        ? "Out"
                            : (b[COM_KESTRAVO_CFG_DIO_TERMINATIONS] >> j & 1) ? "Term"
                                                                              : "In";
    const Field f = DIOField(j);
    s += Format("DIO%u=%s,%s\n", j, direction,
                Signal(Bits(Group(b, f.offset, f.bytes), f.shift, 6), kDIOSources).c_str());
  }
  for (unsigned k = 0; k < 4; ++k) {
    s += Format(
        "SwitchTrigger%u=%s,%u,%u\n", k,
        Signal(Bits(Group(b, COM_KESTRAVO_CFG_SWITCH_TRIGGER_SOURCES, 3), 6 * int(k), 6), kSignalSources)
            .c_str(),
        unsigned(b[COM_KESTRAVO_CFG_TRIGGER_DELAYS + k] & 0x0F),
        unsigned(b[COM_KESTRAVO_CFG_TRIGGER_DELAYS + k] >> 4));
    s += Format(
        "SwitchEnable%u=%s,%u\n", k,
        Signal(Bits(Group(b, COM_KESTRAVO_CFG_SWITCH_ENABLE_SOURCES, 3), 6 * int(k), 6), kSignalSources)
            .c_str(),
        Bits(Group(b, COM_KESTRAVO_CFG_SWITCH_ENABLE_DELAYS, 2), 4 * int(k), 4));
  }
  for (const auto& [key, offset] : {std::pair{"MappingTrigger", int(COM_KESTRAVO_CFG_TRIGGER_MAPPING)},
                                    std::pair{"MappingEnable", int(COM_KESTRAVO_CFG_ENABLE_MAPPING)}}) {
    const uint32_t m = Group(b, offset, 3);
    s += Format("%s=%c", key, (m >> COM_KESTRAVO_MAPPING_ON_BIT & 1) ? 'Y' : 'N');
    for (int i = 0; i < 5; ++i) s += Format(",%u", Bits(m, 4 * i, 4));
    s += "\n";
  }
  const uint32_t flags = Group(b, COM_KESTRAVO_CFG_FLAGS, 2);
  for (int bit = 0; bit < 7; ++bit) s += Format("%s=%c\n", kFlags[bit], (flags >> bit & 1) ? 'Y' : 'N');
  return s;
}

bool WriteConfigText(const char* path, FILE* file, const uint8_t* block) {
  const std::string text = ConfigText(block);
  if (std::fwrite(text.data(), 1, text.size(), file) == text.size()) return true;
  FileError("Error writing the data file '%s'\n", Printable(path).c_str());
  return false;
}

bool ParseConfigText(ProfileFile& p, const char* section, uint8_t* b, const char*& failed) {
  std::memset(b, 0, kBlockSize);
  static thread_local char key[32];
  auto fail = [&](const char* k) {
    std::snprintf(key, sizeof key, "%s", k);
    failed = key;
    return false;
  };

  uint32_t oscillator = 0;
  p.Ok = 1;
  p.GetUnsigned(section, "Oscillator", oscillator);
  char probe[4];
  // An empty value is found but gives no number: it fails like any unreadable one.
  if (!p.Ok || (p.GetString(section, "Oscillator", probe, sizeof probe) == 0)) return fail("Oscillator");
  PutGroup(b, COM_KESTRAVO_CFG_OSCILLATOR_PERIOD, 4, oscillator);

  char value[100];
  for (unsigned i = 0; i < 4; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Pulser%u", i);
    uint32_t delay = 0, width = 0, signal = 0;
    const char* w = nullptr;
    if (!Entry(p, section, name, value)) return fail(name);
    Fields f(value);
    if (!ReadSignal(f, kSignalSources, signal) || !f.Last(w) || !Number(w, width) || !Number(f.Rest(), delay))
      return fail(name);
    PutGroup(b, COM_KESTRAVO_CFG_PULSER_WIDTHS + 4 * int(i), 4, width);
    PutGroup(b, COM_KESTRAVO_CFG_PULSER_DELAYS + 4 * int(i), 4, delay);
    const Field& pf = kPulserField[i];
    if (i < 2) {
      std::snprintf(name, sizeof name, "Burst%u", i);
      uint32_t size = 0, burst_signal = 0;
      if (!Entry(p, section, name, value)) return fail(name);
      Fields bf(value);
      if (!ReadSignal(bf, kSignalSources, burst_signal) || !Number(bf.Rest(), size)) return fail(name);
      PutGroup(b, COM_KESTRAVO_CFG_BURST_SIZES + 3 * int(i), 3, size & 0xFFFFFF);
      PutBits(b, kBurstField[i].offset, kBurstField[i].bytes, kBurstField[i].shift, 6, burst_signal);
    }
    PutBits(b, pf.offset, pf.bytes, pf.shift, 6, signal);
  }

  for (unsigned j = 0; j < 7; ++j) {
    char name[16];
    std::snprintf(name, sizeof name, "DIO%u", j);
    uint32_t signal = 0;
    if (!Entry(p, section, name, value)) return fail(name);
    Fields f(value);
    if (!ReadSignal(f, kDIOSources, signal)) return fail(name);
    const char* direction = f.Rest();
    if (strcasecmp(direction, "Out") == 0)
      b[COM_KESTRAVO_CFG_DIO_OUTPUTS] = uint8_t(b[COM_KESTRAVO_CFG_DIO_OUTPUTS] | 1u << j);
    else if (strcasecmp(direction, "Term") == 0)
      b[COM_KESTRAVO_CFG_DIO_TERMINATIONS] = uint8_t(b[COM_KESTRAVO_CFG_DIO_TERMINATIONS] | 1u << j);
    else if (strcasecmp(direction, "In") != 0)
      return fail(name);
    const Field df = DIOField(j);
    PutBits(b, df.offset, df.bytes, df.shift, 6, signal);
  }

  for (unsigned k = 0; k < 4; ++k) {
    char name[24];
    uint32_t delays[2] = {0, 0}, signal = 0;
    std::snprintf(name, sizeof name, "SwitchTrigger%u", k);
    if (!Entry(p, section, name, value) || !ReadSourceFirst(value, 2, delays, signal)) return fail(name);
    PutBits(b, COM_KESTRAVO_CFG_SWITCH_TRIGGER_SOURCES, 3, 6 * int(k), 6, signal);
    b[COM_KESTRAVO_CFG_TRIGGER_DELAYS + k] = uint8_t(delays[0] | delays[1] << 4);
    std::snprintf(name, sizeof name, "SwitchEnable%u", k);
    if (!Entry(p, section, name, value) || !ReadSourceFirst(value, 1, delays, signal)) return fail(name);
    PutBits(b, COM_KESTRAVO_CFG_SWITCH_ENABLE_SOURCES, 3, 6 * int(k), 6, signal);
    PutBits(b, COM_KESTRAVO_CFG_SWITCH_ENABLE_DELAYS, 2, 4 * int(k), 4, delays[0]);
  }

  for (const auto& [name, offset] : {std::pair{"MappingTrigger", int(COM_KESTRAVO_CFG_TRIGGER_MAPPING)},
                                     std::pair{"MappingEnable", int(COM_KESTRAVO_CFG_ENABLE_MAPPING)}}) {
    if (!Entry(p, section, name, value)) return fail(name);
    Fields f(value);
    uint32_t m = 0;
    for (int i = 4; i >= 0; --i) {
      const char* n = nullptr;
      uint32_t v = 0;
      if (!f.Last(n) || !Number(n, v, 15)) return fail(name);
      m |= v << (4 * i);
    }
    if (std::strcmp(f.Rest(), "Y") == 0)
      m |= 1u << COM_KESTRAVO_MAPPING_ON_BIT;
    else if (std::strcmp(f.Rest(), "N") != 0)
      return fail(name);
    PutGroup(b, offset, 3, m);
  }

  uint32_t flags = 0;
  for (int bit = 0; bit < 7; ++bit) {
    uint8_t flag = 2;  // unset: an empty value is found but gives no flag
    p.GetBool(section, kFlags[bit], flag);
    if (!p.Ok || flag > 1) return fail(kFlags[bit]);
    flags |= uint32_t(flag) << bit;
  }
  PutGroup(b, COM_KESTRAVO_CFG_FLAGS, 2, flags);
  return true;
}

void ReportReadError(const char* path, const char* section, const char* key) {
  FileError("Error reading the data file '%s', Section '%s', Entry '%s'\n", Printable(path).c_str(), section,
            key);
}

bool ReadConfigText(const char* path, ProfileFile& profile, const char* section, uint8_t* block) {
  const char* failed = nullptr;
  if (ParseConfigText(profile, section, block, failed)) return true;
  ReportReadError(path, section, failed);
  return false;
}

std::string EscapeConfigName(const uint8_t* name) {
  std::string s;
  for (int i = 0; i < kNameSize && name[i]; ++i) {
    const unsigned c = name[i];
    if (c == '\\')
      s += "\\\\";
    else if (c == '\t')
      s += "\\t";
    else if (c == '\r')
      s += "\\r";
    else if (c == '\n')
      s += "\\n";
    else if (c < 32 || c >= 128)
      s += Format("\\x%2X", c);
    else
      s += char(c);
  }
  return s;
}

bool UnescapeConfigName(const char* text, uint8_t* name) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p != '\\') {
      out += *p;
      continue;
    }
    ++p;
    switch (*p) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 'x': {
        // Exactly two characters: two hexadecimal digits, or a blank and one.
        auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
        if (!((hex(p[1]) && hex(p[2])) || (p[1] == ' ' && hex(p[2])))) return false;
        const char digits[3] = {p[1], p[2], 0};
        out += char(std::strtoul(digits, nullptr, 16));
        p += 2;
        break;
      }
      default:  // another character, or the end of the text
        return false;
    }
  }
  std::memset(name, 0, kNameSize);
  std::memcpy(name, out.data(), std::min(out.size(), size_t(kNameSize)));
  return true;
}

}  // namespace control
