#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/clock.h"
#include "platform/files.h"
#include "sim/sim.h"

namespace sim {
namespace {

// A configuration block's field and its accessors, as the public header defines them.
using Field = COM_KESTRAVO_ConfigField;
uint32_t GetField(const Block& b, Field f) { return COM_KESTRAVO_GetConfigField(b.data(), f); }
void SetField(Block& b, Field f, uint32_t v) { COM_KESTRAVO_SetConfigField(b.data(), f, v); }
template <COM_KESTRAVO_ConfigItem item>
Field At(uint32_t index) {
  return COM_KESTRAVO_ConfigFieldOf(item, index);
}

struct IndexedSetting {
  char letter;
  uint32_t count;  // indices 0 .. count-1
  int digits;      // hexadecimal digits of the value
  Field (*field)(uint32_t index);
};

// The source selectors of the 'p' command: pulser 0, burst 0, pulser 1, burst 1, pulsers 2 and 3.
const IndexedSetting kIndexed[] = {
    {'d', 4, 8, At<COM_KESTRAVO_ITEM_PULSER_DELAY>},
    {'w', 4, 8, At<COM_KESTRAVO_ITEM_PULSER_WIDTH>},
    {'b', 2, 6, At<COM_KESTRAVO_ITEM_BURST_SIZE>},
    {'p', 6, 2, At<COM_KESTRAVO_ITEM_SOURCE_SELECTOR>},
    {'e', 4, 2, At<COM_KESTRAVO_ITEM_SWITCH_TRIGGER_SOURCE>},
    {'f', 4, 2, At<COM_KESTRAVO_ITEM_SWITCH_ENABLE_SOURCE>},
    {'h', 4, 1, At<COM_KESTRAVO_ITEM_SWITCH_ENABLE_DELAY>},
    {'m', 5, 1, At<COM_KESTRAVO_ITEM_TRIGGER_MAPPING>},
    {'n', 5, 1, At<COM_KESTRAVO_ITEM_ENABLE_MAPPING>},
    {'o', 7, 2, At<COM_KESTRAVO_ITEM_DIO_SOURCE>},
};

Field PeriodField() { return At<COM_KESTRAVO_ITEM_OSCILLATOR_PERIOD>(0); }
Field DeviceEnableField() { return At<COM_KESTRAVO_ITEM_FLAG>(0); }
Field TriggerMappingOnField() { return At<COM_KESTRAVO_ITEM_TRIGGER_MAPPING_ON>(0); }
Field EnableMappingOnField() { return At<COM_KESTRAVO_ITEM_ENABLE_MAPPING_ON>(0); }
Field TriggerRise(uint32_t k) { return At<COM_KESTRAVO_ITEM_SWITCH_RISE_DELAY>(k); }
Field TriggerFall(uint32_t k) { return At<COM_KESTRAVO_ITEM_SWITCH_FALL_DELAY>(k); }

bool ParseHex(const std::string& s, size_t pos, size_t n, uint32_t& v) {
  if (pos + n > s.size() || n == 0 || n > 8) return false;
  v = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    char c = s[i];
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : -1;
    if (d < 0) return false;
    v = (v << 4) | uint32_t(d);
  }
  return true;
}

std::string Hex(uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", digits, v);
  return buf;
}

std::string HexBytes(const uint8_t* p, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += Hex(p[i], 2);
  return s;
}

bool ParseBytes(const std::string& s, size_t pos, uint8_t* out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    uint32_t v;
    if (!ParseHex(s, pos + 2 * i, 2, v)) return false;
    out[i] = uint8_t(v);
  }
  return true;
}

// Letters answered with a fixed text when they come without data: identity and the link's own.
struct FixedReply {
  char letter;
  const char* text;
};
constexpr FixedReply kFixed[] = {
    {'t', "4B53"},
    {'v', "0102"},
    {'V', "0103"},
    {'D', "Mar 14 2024"},
    {'P', "KESTRAVO PG4-HV pulse generator (simulated)"},
    {'N', "00012345"},
    {'M', "0000"},
    {'Z', "Y"},
    {'z', "Y"},
    {'#', ""},
};

constexpr uint32_t kCtsDropUs = 2000;    // CTS falls this long after RTS
constexpr uint32_t kCtsRiseUs = 5000;    // and rises this long after RTS comes back
constexpr uint32_t kRestartUs = 50000;   // a restart keeps CTS low this long
constexpr uint32_t kTurnaroundUs = 500;  // from the command's carriage return to the first reply character

}  // namespace

Block DefaultBlock() {
  Block b{};
  b[COM_KESTRAVO_CFG_FLAGS] = 0x07;  // DeviceEnable, OscillatorEnable, PulserEnable
  SetField(b, PeriodField(), 998);   // 10 us
  for (uint32_t i = 0; i < 4; ++i) SetField(b, At<COM_KESTRAVO_ITEM_PULSER_WIDTH>(i), 98);  // 1 us wide
  SetField(b, At<COM_KESTRAVO_ITEM_SOURCE_SELECTOR>(0), 2);  // pulser 0 triggered by the oscillator
  for (uint32_t m = 0; m < 5; ++m) {
    SetField(b, At<COM_KESTRAVO_ITEM_TRIGGER_MAPPING>(m), m);
    SetField(b, At<COM_KESTRAVO_ITEM_ENABLE_MAPPING>(m), m);
  }
  return b;
}

Device::Device(std::string state_file) : state_file_(std::move(state_file)), current_(DefaultBlock()) {
  start_us_ = last_tick_us_ = ports::NowUs();
}

bool Device::Init(std::string& error) {
  // A state file that could not be written later would lose the device's stored state silently.
  if (!state_file_.empty() && !platform::CanWriteFile(state_file_, error)) return false;
  if (!state_file_.empty() && !LoadNonVolatile(state_file_, nv_, error)) return false;
  working_ = nv_.memory;
  return true;
}

uint32_t Device::Jitter(uint32_t span) {
  if (faults.steady) return span / 2;
  random_ = random_ * 1103515245u + 12345u;
  return span ? (random_ >> 8) % span : 0;
}

void Device::Tick(uint64_t at_us) {
  if (at_us > last_tick_us_) {
    if (current_[COM_KESTRAVO_CFG_FLAGS] & 1) op_us_ += at_us - last_tick_us_;
    last_tick_us_ = at_us;
  }
}

void Device::SetCts(uint64_t at_us, bool on) {
  while (!cts_.empty() && cts_.back().first >= at_us) cts_.pop_back();
  cts_.emplace_back(at_us, on);
}

bool Device::CtsAt(uint64_t now_us) const {
  bool on = false;
  for (const auto& [t, v] : cts_) {
    if (t > now_us) break;
    on = v;
  }
  return on;
}

uint32_t Device::Modem(uint64_t now_us) {
  if (faults.off) return 0;
  // Forget CTS changes long past, keeping the one in force.
  while (cts_.size() > 1 && cts_[1].first <= now_us) cts_.erase(cts_.begin());
  bool cts = faults.cts == 0 ? false : faults.cts == 1 ? true : CtsAt(now_us);
  return ports::kMsDsrOn | ports::kMsRlsdOn | (cts ? ports::kMsCtsOn : 0);
}

void Device::ResetLink(uint64_t at_us) {
  rx_.clear();
  rx_bad_ = false;
  if (pc_) pc_->DropPending(at_us);
  reply_free_us_ = at_us;
  baud_ = 9600;
}

void Device::Control(uint64_t now_us, bool /*dtr*/, bool rts) {
  if (rts == rts_) return;
  rts_ = rts;
  if (faults.off) return;
  if (!rts) {
    // RTS off asks for a reset of the device's side of the link.
    ResetLink(now_us);
    SetCts(now_us + kCtsDropUs, false);
  } else {
    SetCts(now_us + kCtsRiseUs, true);
  }
}

void Device::Receive(uint64_t at_us, uint8_t value, const ports::LineParams& pc) {
  if (faults.off) return;
  ++characters_;
  Tick(at_us);
  const ports::LineParams mine{baud_, ports::kEvenParity};
  if (pc.baud != baud_) {
    value = ports::GarbleByte(value, pc, mine);
    rx_bad_ = true;
  } else if (pc.parity != mine.parity && (value & 1)) {
    rx_bad_ = true;
  }
  if (value == 0x0D) {
    Execute(at_us);
    return;
  }
  if (rx_.size() < 2 * kMaxMemoryBlock + 64)
    rx_ += char(value);
  else
    rx_bad_ = true;  // longer than any command: answered as invalid at its carriage return
}

void Device::Execute(uint64_t at_us) {
  ++commands_;
  std::string frame;
  frame.swap(rx_);
  bool bad = rx_bad_;
  rx_bad_ = false;
  if (faults.silent > 0) {
    --faults.silent;
    return;
  }
  if (bad || frame.empty()) {
    SendReply(at_us, "?");
    return;
  }
  char letter = frame[0];
  uint32_t old_baud = baud_;
  std::string data = Answer(letter, frame.substr(1), at_us);
  if (data == "?") {
    SendReply(at_us, "?");
    return;
  }
  uint32_t new_baud = baud_;
  baud_ = old_baud;  // the reply still goes out at the old rate
  SendReply(at_us, std::string(1, letter) + data);
  baud_ = new_baud;
  if (letter == '#') Restart(reply_free_us_);
}

void Device::SendReply(uint64_t at_us, const std::string& body) {
  std::string reply = body + "\r";
  if (faults.garble > 0) {
    --faults.garble;
    reply[0] = char(reply[0] ^ 0x20);
  }
  if (faults.drop > 0 && reply.size() > 2) {
    --faults.drop;
    reply.erase(reply.size() - 2, 1);
  }
  if (faults.extra > 0) {
    --faults.extra;
    reply.insert(reply.end() - 1, '0');
  }
  if (faults.nocr > 0) {
    --faults.nocr;
    reply.pop_back();
  }
  characters_ += reply.size();
  uint64_t start = std::max(at_us + kTurnaroundUs + uint64_t(faults.slow_ms) * 1000, reply_free_us_);
  uint64_t char_us = ports::CharTimeUs(baud_);
  const ports::LineParams line{baud_, ports::kEvenParity};
  for (size_t i = 0; i < reply.size(); ++i)
    if (pc_) pc_->Deliver(start + (i + 1) * char_us, uint8_t(reply[i]), line);
  reply_free_us_ = start + reply.size() * char_us;
}

void Device::Restart(uint64_t at_us) {
  // Back at 9600 baud with the settings of a fresh start; what is non-volatile stays.
  SetCts(at_us, false);
  SetCts(at_us + kRestartUs, rts_);
  baud_ = 9600;
  current_ = DefaultBlock();
  working_ = nv_.memory;
  // Operating time never exceeds the time switched on, whatever order the characters came in.
  const uint64_t up_us = at_us > start_us_ ? at_us - start_us_ : 0;
  nv_.total_up_s += uint32_t(up_us / 1000000);
  nv_.total_op_s += uint32_t(std::min(op_us_, up_us) / 1000000);
  start_us_ = last_tick_us_ = at_us;
  op_us_ = 0;
}

void Device::Persist() {
  if (!state_file_.empty()) SaveNonVolatile(state_file_, nv_);
}

// The commands of the device, each answered by one small routine; a row per letter.
struct Commands {
  using Answer = std::string (*)(Device& d, const std::string& data, uint64_t at_us);
  struct Row {
    char letter;
    Answer answer;
  };
  static constexpr const char* kInvalid = "?";  // the device's answer to an invalid command

  static std::string YesNo(bool b) { return b ? "Y" : "N"; }
  static uint64_t UpUs(const Device& d, uint64_t at_us) { return at_us - d.start_us_; }

  // Replies of the device's housekeeping, readings that move a little from one reading to the next.
  static std::string Cpu(Device& d, const std::string& data, uint64_t) {
    if (!data.empty()) return kInvalid;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03u%04X", 100 + d.Jitter(60), 46875u);  // 48 MHz
    return buf;
  }
  static std::string Status(Device& d, const std::string& data, uint64_t) {
    return data.empty() ? Hex((d.Flags() & 1) ? 0 : 0x8000, 8) : kInvalid;
  }
  static std::string Uptime(Device& d, const std::string& data, uint64_t at_us) {
    if (!data.empty()) return kInvalid;
    d.Tick(at_us);
    const uint64_t up_us = UpUs(d, at_us);
    return Hex(uint32_t(up_us / 1000000), 8) + Hex(uint32_t((up_us % 1000000) * 256 / 1000000), 2) +
           Hex(uint32_t(std::min(d.op_us_, up_us) / 1000000), 8);
  }
  static std::string TotalTimes(Device& d, const std::string& data, uint64_t at_us) {
    if (!data.empty()) return kInvalid;
    d.Tick(at_us);
    const uint64_t up_us = UpUs(d, at_us);
    return Hex(d.nv_.total_up_s + uint32_t(up_us / 1000000), 8) +
           Hex(d.nv_.total_op_s + uint32_t(std::min(d.op_us_, up_us) / 1000000), 8);
  }
  static std::string Housekeeping(Device& d, const std::string& data, uint64_t) {
    if (!data.empty()) return kInvalid;
    return Hex(11980 + d.Jitter(40), 4) + Hex(4990 + d.Jitter(20), 4) + Hex(3290 + d.Jitter(20), 4) +
           Hex(27315 + 3800 + d.Jitter(100), 4);
  }
  static std::string Sensors(Device& d, const std::string& data, uint64_t) {
    if (!data.empty()) return kInvalid;
    return Hex(27315 + 2500 + d.Jitter(60), 4) + Hex(27315 + 2650 + d.Jitter(60), 4) +
           Hex(27315 + 2800 + d.Jitter(60), 4);
  }
  static std::string Fans(Device& d, const std::string& data, uint64_t) {
    if (!data.empty()) return kInvalid;
    std::string s;
    for (int i = 0; i < 2; ++i)
      s += "YN" + Hex(3000, 4) + Hex(2950 + d.Jitter(100), 4) + Hex(450 + d.Jitter(20), 4);
    return s + "NN" + Hex(0, 4) + Hex(0, 4) + Hex(0, 4);
  }
  static std::string Leds(Device& d, const std::string& data, uint64_t) {
    if (!data.empty()) return kInvalid;
    const uint8_t config = d.Flags();
    return std::string("N").append(YesNo(config & 1)).append(YesNo((config & 0x06) == 0x06));
  }

  // Link.
  static std::string Echo(Device&, const std::string& data, uint64_t) { return data; }
  static std::string DataRate(Device& d, const std::string& data, uint64_t) {
    const size_t n = data.size();
    uint32_t v = 0;
    if (n == 0) return Hex(d.baud_, 5);
    if ((n != 5 && n != 6) || !ParseHex(data, 0, n, v) || v < 300 || v > 1000000) return kInvalid;
    if (!d.faults.ignore_baud_change) d.baud_ = v;
    return Hex(v, 5);
  }

  // Settings of the current configuration.
  static std::string Period(Device& d, const std::string& data, uint64_t) {
    uint32_t v = 0;
    if (data.size() == 8 && ParseHex(data, 0, 8, v))
      SetField(d.current_, PeriodField(), v);
    else if (!data.empty())
      return kInvalid;
    return Hex(GetField(d.current_, PeriodField()), 8);
  }
  static std::string TriggerDelays(Device& d, const std::string& data, uint64_t) {
    const size_t n = data.size();
    uint32_t idx = 0;
    if (!ParseHex(data, 0, 1, idx) || idx >= 4) return kInvalid;
    if (n == 3) {
      uint32_t fall = 0, rise = 0;
      if (!ParseHex(data, 1, 1, fall) || !ParseHex(data, 2, 1, rise)) return kInvalid;
      SetField(d.current_, TriggerFall(idx), fall);
      SetField(d.current_, TriggerRise(idx), rise);
    } else if (n != 1) {
      return kInvalid;
    }
    return Hex(idx, 1) + Hex(GetField(d.current_, TriggerFall(idx)), 1) +
           Hex(GetField(d.current_, TriggerRise(idx)), 1);
  }
  // A Y/N flag of the block: set with one letter, read without data.
  static std::string Flag(Device& d, const std::string& data, Field f) {
    if (data.size() == 1 && (data[0] == 'Y' || data[0] == 'N'))
      SetField(d.current_, f, data[0] == 'Y');
    else if (!data.empty())
      return kInvalid;
    return YesNo(GetField(d.current_, f));
  }
  static std::string TriggerMappingOn(Device& d, const std::string& data, uint64_t) {
    return Flag(d, data, TriggerMappingOnField());
  }
  static std::string EnableMappingOn(Device& d, const std::string& data, uint64_t) {
    return Flag(d, data, EnableMappingOnField());
  }
  static std::string DeviceEnable(Device& d, const std::string& data, uint64_t at_us) {
    if (data.size() == 1 && (data[0] == 'Y' || data[0] == 'N')) d.Tick(at_us);
    return Flag(d, data, DeviceEnableField());
  }
  static std::string DioConfig(Device& d, const std::string& data, uint64_t) {
    if (data.size() == 4) {
      uint32_t term = 0, out = 0;
      if (!ParseHex(data, 0, 2, term) || !ParseHex(data, 2, 2, out)) return kInvalid;
      d.current_[COM_KESTRAVO_CFG_DIO_TERMINATIONS] = uint8_t(term);
      d.current_[COM_KESTRAVO_CFG_DIO_OUTPUTS] = uint8_t(out);
    } else if (!data.empty()) {
      return kInvalid;
    }
    return Hex(d.current_[COM_KESTRAVO_CFG_DIO_TERMINATIONS], 2) +
           Hex(d.current_[COM_KESTRAVO_CFG_DIO_OUTPUTS], 2);
  }
  static std::string Controller(Device& d, const std::string& data, uint64_t at_us) {
    uint32_t v = 0;
    if (data.size() == 2) {
      if (!ParseHex(data, 0, 2, v)) return kInvalid;
      d.Tick(at_us);
      d.current_[COM_KESTRAVO_CFG_FLAGS] = uint8_t(v);
      return Hex(d.Flags(), 2);
    }
    if (!data.empty()) return kInvalid;
    // State word: the configuration byte, master enable, software trigger output, device enabled.
    // An open safety interlock takes master enable and the device away.
    const uint8_t config = d.Flags();
    const bool interlock =
        d.faults.interlock_ms == 0 || UpUs(d, at_us) < uint64_t(d.faults.interlock_ms) * 1000;
    const bool enabled = (config & 1) && interlock;
    return Hex(config | (enabled ? 0x0100 : 0) | ((config & 0x08) ? 0x0200 : 0) | (enabled ? 0x0400 : 0), 4);
  }

  // Configurations.
  static std::string Reset(Device& d, const std::string& data, uint64_t) {
    if (!data.empty()) return kInvalid;
    d.current_ = DefaultBlock();
    return "";
  }
  static std::string Current(Device& d, const std::string& data, uint64_t) {
    if (data.size() == 2 * kBlockSize) {
      Block b;
      if (!ParseBytes(data, 0, b.data(), kBlockSize)) return kInvalid;
      d.current_ = b;
    } else if (!data.empty()) {
      return kInvalid;
    }
    return HexBytes(d.current_.data(), kBlockSize);
  }
  // A place of the store and its bytes (a block or a name): read with the place, written with the
  // place and the bytes.
  static std::string Stored(Device& d, const std::string& data, uint8_t* (*bytes)(Device&, uint32_t),
                            size_t size) {
    uint32_t v = 0;
    if (!ParseHex(data, 0, 2, v) || v >= uint32_t(kStoredConfigs)) return kInvalid;
    if (data.size() == 2 + 2 * size) {
      if (!ParseBytes(data, 2, bytes(d, v), size)) return kInvalid;
      d.Persist();
    } else if (data.size() != 2) {
      return kInvalid;
    }
    return Hex(v, 2) + HexBytes(bytes(d, v), size);
  }
  static std::string StoredBlock(Device& d, const std::string& data, uint64_t) {
    return Stored(
        d, data, [](Device& x, uint32_t v) { return x.nv_.blocks[v].data(); }, kBlockSize);
  }
  static std::string StoredName(Device& d, const std::string& data, uint64_t) {
    return Stored(
        d, data, [](Device& x, uint32_t v) { return x.nv_.names[v].data(); }, kNameSize);
  }
  static std::string StoredFlags(Device& d, const std::string& data, uint64_t) {
    uint32_t v = 0;
    if (!ParseHex(data, 0, 2, v) || v >= uint32_t(kStoredConfigs)) return kInvalid;
    if (data.size() == 3) {
      uint32_t flags = 0;
      if (!ParseHex(data, 2, 1, flags) || flags > 3) return kInvalid;
      d.nv_.flags[v] = uint8_t(flags);
      d.Persist();
    } else if (data.size() != 2) {
      return kInvalid;
    }
    return Hex(v, 2) + Hex(d.nv_.flags[v], 1);
  }
  static std::string StoreList(Device& d, const std::string& data, uint64_t) {
    if (!data.empty()) return kInvalid;
    std::string s;
    for (int k = 0; k < kStoredConfigs / 2; ++k)
      s += Hex(d.nv_.flags[2 * k] | (d.nv_.flags[2 * k + 1] << 2), 1);
    return s;
  }
  static bool Place(const std::string& data, uint32_t& v) {
    return data.size() == 2 && ParseHex(data, 0, 2, v) && v < uint32_t(kStoredConfigs);
  }
  static std::string Save(Device& d, const std::string& data, uint64_t) {
    uint32_t v = 0;
    if (!Place(data, v)) return kInvalid;
    d.nv_.blocks[v] = d.current_;
    d.nv_.flags[v] = 3;
    d.Persist();
    return Hex(v, 2);
  }
  static std::string Load(Device& d, const std::string& data, uint64_t) {
    uint32_t v = 0;
    if (!Place(data, v) || !(d.nv_.flags[v] & 2)) return kInvalid;
    d.current_ = d.nv_.blocks[v];
    return Hex(v, 2);
  }

  // Memory data: writes go to the working copy; 'Y' without data makes it the device's own.
  static std::string Memory(Device& d, const std::string& data, uint64_t) {
    const size_t n = data.size();
    if (n == 0) {
      d.nv_.memory = d.working_;
      d.Persist();
      return "";
    }
    uint32_t address = 0, size = 0;
    if (n < 7 || !ParseHex(data, 0, 4, address) || !ParseHex(data, 4, 3, size)) return kInvalid;
    if (size > kMaxMemoryBlock || address + size > uint32_t(kMemorySize)) return kInvalid;
    if (n == 7 + 2 * size && size > 0) {
      if (!ParseBytes(data, 7, d.working_.data() + address, size)) return kInvalid;
    } else if (!(n == 7 || (size == 0 && n == 8 && data[7] == ','))) {
      return kInvalid;
    }
    return Hex(address, 4) + Hex(size, 3) + HexBytes(d.working_.data() + address, size);
  }

  static const Row kRows[];
};

const Commands::Row Commands::kRows[] = {
    {'S', Status},
    {'C', Cpu},
    {'U', Uptime},
    {'u', TotalTimes},
    {'H', Housekeeping},
    {'T', Sensors},
    {'B', Fans},
    {'L', Leds},
    {'@', Echo},
    {'$', DataRate},
    {'s', Period},
    {'g', TriggerDelays},
    {'k', TriggerMappingOn},
    {'l', EnableMappingOn},
    {'i', DioConfig},
    {'E', DeviceEnable},
    {'c', Controller},
    {'*', Reset},
    {'a', Current},
    {'K', StoredBlock},
    {'A', StoredName},
    {'X', StoredFlags},
    {'W', StoreList},
    {'J', Save},
    {'j', Load},
    {'Y', Memory},
};

std::string Device::Answer(char letter, const std::string& data, uint64_t at_us) {
  // A device whose identification holds bytes of 80h and above (a Latin-1 letter, line noise).
  if (letter == 'P' && data.empty() && faults.high_bytes)
    return "KESTRAVO G\xE9n\xE9rateur \x80\x9D\xFF (simulated)";
  for (const FixedReply& f : kFixed)
    if (f.letter == letter) return data.empty() ? f.text : Commands::kInvalid;
  for (const IndexedSetting& s : kIndexed) {
    if (s.letter != letter) continue;
    uint32_t v = 0, idx = 0;
    if (!ParseHex(data, 0, 1, idx) || idx >= s.count) return Commands::kInvalid;
    Field f = s.field(idx);
    if (data.size() == size_t(1 + s.digits)) {
      if (!ParseHex(data, 1, s.digits, v)) return Commands::kInvalid;
      SetField(current_, f, v);
    } else if (data.size() != 1) {
      return Commands::kInvalid;
    }
    return Hex(idx, 1) + Hex(GetField(current_, f), s.digits);
  }
  for (const Commands::Row& row : Commands::kRows)
    if (row.letter == letter) return row.answer(*this, data, at_us);
  return Commands::kInvalid;
}

bool ParseFaults(const std::string& text, Faults& f) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(pos, end - pos);
    pos = end + 1;
    if (item.empty()) continue;
    size_t eq = item.find('=');
    std::string name = item.substr(0, eq);
    std::string value = eq == std::string::npos ? "1" : item.substr(eq + 1);
    char* stop = nullptr;
    unsigned long num = std::strtoul(value.c_str(), &stop, 10);
    bool numeric = !value.empty() && *stop == 0;
    if (name == "cts") {
      if (value == "low")
        f.cts = 0;
      else if (value == "high")
        f.cts = 1;
      else
        return false;
      continue;
    }
    if (!numeric) return false;
    if (name == "off")
      f.off = num != 0;
    else if (name == "slow")
      f.slow_ms = uint32_t(num);
    else if (name == "drop")
      f.drop = uint32_t(num);
    else if (name == "garble")
      f.garble = uint32_t(num);
    else if (name == "extra")
      f.extra = uint32_t(num);
    else if (name == "nocr")
      f.nocr = uint32_t(num);
    else if (name == "silent")
      f.silent = uint32_t(num);
    else if (name == "ignorebaud")
      f.ignore_baud_change = num != 0;
    else if (name == "steady")
      f.steady = num != 0;
    else if (name == "interlock")
      f.interlock_ms = uint32_t(num);
    else if (name == "highbytes")
      f.high_bytes = num != 0;
    else
      return false;
  }
  return true;
}

}  // namespace sim
