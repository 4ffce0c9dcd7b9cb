#include "model/block_text.h"

#include <strings.h>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "COM-KESTRAVO.h"
#include "model/device_texts.h"
#include "model/format.h"

namespace model {
namespace {

const char* const kFlags[] = {"DeviceEnable",  "OscillatorEnable",     "PulserEnable",    "SoftwareTrigger",
                              "SoftwarePulse", "PreventDeviceDisable", "DisableDithering"};
struct Mapping {
  const char* key;
  COM_KESTRAVO_ConfigItem item, on;
};
const Mapping kMappings[] = {
    {"MappingTrigger", COM_KESTRAVO_ITEM_TRIGGER_MAPPING, COM_KESTRAVO_ITEM_TRIGGER_MAPPING_ON},
    {"MappingEnable", COM_KESTRAVO_ITEM_ENABLE_MAPPING, COM_KESTRAVO_ITEM_ENABLE_MAPPING_ON},
};

// The block's fields, as the public header defines them.
uint32_t Get(const uint8_t* b, COM_KESTRAVO_ConfigItem item, uint32_t index = 0) {
  return COM_KESTRAVO_GetConfigField(b, COM_KESTRAVO_ConfigFieldOf(item, index));
}
void Put(uint8_t* b, COM_KESTRAVO_ConfigItem item, uint32_t index, uint32_t value) {
  COM_KESTRAVO_SetConfigField(b, COM_KESTRAVO_ConfigFieldOf(item, index), value);
}
// The source selector of pulser i (0 to 3) and of burst i (0 and 1), in the device's order:
// pulser 0, burst 0, pulser 1, burst 1, pulser 2, pulser 3.
constexpr uint32_t kPulserSelector[4] = {0, 2, 4, 5}, kBurstSelector[2] = {1, 3};

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
  std::string s = Format("Oscillator=%u\n", Get(b, COM_KESTRAVO_ITEM_OSCILLATOR_PERIOD));
  for (unsigned i = 0; i < 4; ++i) {
    s +=
        Format("Pulser%u=%u,%u,%s\n", i, Get(b, COM_KESTRAVO_ITEM_PULSER_DELAY, i),
               Get(b, COM_KESTRAVO_ITEM_PULSER_WIDTH, i),
               Signal(Get(b, COM_KESTRAVO_ITEM_SOURCE_SELECTOR, kPulserSelector[i]), kSignalSources).c_str());
    if (i < 2)
      s += Format(
          "Burst%u=%u,%s\n", i, Get(b, COM_KESTRAVO_ITEM_BURST_SIZE, i),
          Signal(Get(b, COM_KESTRAVO_ITEM_SOURCE_SELECTOR, kBurstSelector[i]), kSignalSources).c_str());
  }
  for (unsigned j = 0; j < 7; ++j) {
    const char* direction = Get(b, COM_KESTRAVO_ITEM_DIO_OUTPUT, j)        ? "Out"
                            : Get(b, COM_KESTRAVO_ITEM_DIO_TERMINATION, j) ? "Term"
                                                                           : "In";
    s += Format("DIO%u=%s,%s\n", j, direction,
                Signal(Get(b, COM_KESTRAVO_ITEM_DIO_SOURCE, j), kDIOSources).c_str());
  }
  for (unsigned k = 0; k < 4; ++k) {
    s += Format("SwitchTrigger%u=%s,%u,%u\n", k,
                Signal(Get(b, COM_KESTRAVO_ITEM_SWITCH_TRIGGER_SOURCE, k), kSignalSources).c_str(),
                Get(b, COM_KESTRAVO_ITEM_SWITCH_RISE_DELAY, k),
                Get(b, COM_KESTRAVO_ITEM_SWITCH_FALL_DELAY, k));
    s += Format("SwitchEnable%u=%s,%u\n", k,
                Signal(Get(b, COM_KESTRAVO_ITEM_SWITCH_ENABLE_SOURCE, k), kSignalSources).c_str(),
                Get(b, COM_KESTRAVO_ITEM_SWITCH_ENABLE_DELAY, k));
  }
  for (const Mapping& m : kMappings) {
    s += Format("%s=%c", m.key, Get(b, m.on) ? 'Y' : 'N');
    for (uint32_t i = 0; i < 5; ++i) s += Format(",%u", Get(b, m.item, i));
    s += "\n";
  }
  for (uint32_t bit = 0; bit < 7; ++bit)
    s += Format("%s=%c\n", kFlags[bit], Get(b, COM_KESTRAVO_ITEM_FLAG, bit) ? 'Y' : 'N');
  return s;
}

namespace {

// The readers of the block's entries, in the order of the text: each fills its part of the block
// and gives the key of the first entry that failed, or "".
std::string ReadOscillator(ProfileFile& p, const char* section, uint8_t* b) {
  uint32_t oscillator = 0;
  p.Ok = 1;
  p.GetUnsigned(section, "Oscillator", oscillator);
  char probe[4];
  // An empty value is found but gives no number: it fails like any unreadable one.
  if (!p.Ok || (p.GetString(section, "Oscillator", probe, sizeof probe) == 0)) return "Oscillator";
  Put(b, COM_KESTRAVO_ITEM_OSCILLATOR_PERIOD, 0, oscillator);
  return "";
}

std::string ReadPulsers(ProfileFile& p, const char* section, uint8_t* b) {
  char value[100];
  for (unsigned i = 0; i < 4; ++i) {
    const std::string pulser = Format("Pulser%u", i);
    uint32_t delay = 0, width = 0, signal = 0;
    const char* w = nullptr;
    if (!Entry(p, section, pulser.c_str(), value)) return pulser;
    Fields f(value);
    if (!ReadSignal(f, kSignalSources, signal) || !f.Last(w) || !Number(w, width) || !Number(f.Rest(), delay))
      return pulser;
    Put(b, COM_KESTRAVO_ITEM_PULSER_WIDTH, i, width);
    Put(b, COM_KESTRAVO_ITEM_PULSER_DELAY, i, delay);
    if (i < 2) {
      const std::string burst = Format("Burst%u", i);
      uint32_t size = 0, burst_signal = 0;
      if (!Entry(p, section, burst.c_str(), value)) return burst;
      Fields bf(value);
      if (!ReadSignal(bf, kSignalSources, burst_signal) || !Number(bf.Rest(), size)) return burst;
      Put(b, COM_KESTRAVO_ITEM_BURST_SIZE, i, size);
      Put(b, COM_KESTRAVO_ITEM_SOURCE_SELECTOR, kBurstSelector[i], burst_signal);
    }
    Put(b, COM_KESTRAVO_ITEM_SOURCE_SELECTOR, kPulserSelector[i], signal);
  }
  return "";
}

std::string ReadDIOs(ProfileFile& p, const char* section, uint8_t* b) {
  char value[100];
  for (unsigned j = 0; j < 7; ++j) {
    const std::string name = Format("DIO%u", j);
    uint32_t signal = 0;
    if (!Entry(p, section, name.c_str(), value)) return name;
    Fields f(value);
    if (!ReadSignal(f, kDIOSources, signal)) return name;
    const char* direction = f.Rest();
    if (strcasecmp(direction, "Out") == 0)
      Put(b, COM_KESTRAVO_ITEM_DIO_OUTPUT, j, 1);
    else if (strcasecmp(direction, "Term") == 0)
      Put(b, COM_KESTRAVO_ITEM_DIO_TERMINATION, j, 1);
    else if (strcasecmp(direction, "In") != 0)
      return name;
    Put(b, COM_KESTRAVO_ITEM_DIO_SOURCE, j, signal);
  }
  return "";
}

std::string ReadSwitches(ProfileFile& p, const char* section, uint8_t* b) {
  char value[100];
  for (unsigned k = 0; k < 4; ++k) {
    uint32_t delays[2] = {0, 0}, signal = 0;
    std::string name = Format("SwitchTrigger%u", k);
    if (!Entry(p, section, name.c_str(), value) || !ReadSourceFirst(value, 2, delays, signal)) return name;
    Put(b, COM_KESTRAVO_ITEM_SWITCH_TRIGGER_SOURCE, k, signal);
    Put(b, COM_KESTRAVO_ITEM_SWITCH_RISE_DELAY, k, delays[0]);
    Put(b, COM_KESTRAVO_ITEM_SWITCH_FALL_DELAY, k, delays[1]);
    name = Format("SwitchEnable%u", k);
    if (!Entry(p, section, name.c_str(), value) || !ReadSourceFirst(value, 1, delays, signal)) return name;
    Put(b, COM_KESTRAVO_ITEM_SWITCH_ENABLE_SOURCE, k, signal);
    Put(b, COM_KESTRAVO_ITEM_SWITCH_ENABLE_DELAY, k, delays[0]);
  }
  return "";
}

std::string ReadMappings(ProfileFile& p, const char* section, uint8_t* b) {
  char value[100];
  for (const Mapping& m : kMappings) {
    if (!Entry(p, section, m.key, value)) return m.key;
    Fields f(value);
    uint32_t numbers[5] = {};
    for (int i = 4; i >= 0; --i) {
      const char* n = nullptr;
      if (!f.Last(n) || !Number(n, numbers[i], 15)) return m.key;
    }
    const bool on = std::strcmp(f.Rest(), "Y") == 0;
    if (!on && std::strcmp(f.Rest(), "N") != 0) return m.key;
    for (uint32_t i = 0; i < 5; ++i) Put(b, m.item, i, numbers[i]);
    Put(b, m.on, 0, on);
  }
  return "";
}

std::string ReadFlags(ProfileFile& p, const char* section, uint8_t* b) {
  for (uint32_t bit = 0; bit < 7; ++bit) {
    uint8_t flag = 2;  // unset: an empty value is found but gives no flag
    p.GetBool(section, kFlags[bit], flag);
    if (!p.Ok || flag > 1) return kFlags[bit];
    Put(b, COM_KESTRAVO_ITEM_FLAG, bit, flag);
  }
  return "";
}

}  // namespace

bool ParseConfigText(ProfileFile& p, const char* section, uint8_t* b, std::string& failed) {
  std::memset(b, 0, kBlockSize);
  using Reader = std::string (*)(ProfileFile&, const char*, uint8_t*);
  for (Reader read : {ReadOscillator, ReadPulsers, ReadDIOs, ReadSwitches, ReadMappings, ReadFlags}) {
    failed = read(p, section, b);
    if (!failed.empty()) return false;
  }
  return true;
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

}  // namespace model
