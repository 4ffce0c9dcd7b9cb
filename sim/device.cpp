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

// A bit field inside the little-endian group of `bytes` bytes at `off`.
struct Field {
  uint8_t off, bytes, bit, bits;
};

uint32_t GetField(const Block& b, Field f) {
  uint32_t group = 0;
  for (int i = f.bytes - 1; i >= 0; --i) group = (group << 8) | b[f.off + i];
  return f.bits >= 32 ? group : (group >> f.bit) & ((1u << f.bits) - 1);
}

void SetField(Block& b, Field f, uint32_t v) {
  uint32_t group = 0;
  for (int i = f.bytes - 1; i >= 0; --i) group = (group << 8) | b[f.off + i];
  if (f.bits >= 32) {
    group = v;
  } else {
    uint32_t mask = ((1u << f.bits) - 1) << f.bit;
    group = (group & ~mask) | ((v << f.bit) & mask);
  }
  for (int i = 0; i < f.bytes; ++i) b[f.off + i] = uint8_t(group >> (8 * i));
}

// Where each indexed setting lives in the configuration block.
// The source selectors of the 'p' command: pulser 0, burst 0, pulser 1, burst 1, pulsers 2 and 3.
Field PulserSource(uint32_t n) {
  return n < 4 ? Field{COM_KESTRAVO_CFG_PULSER_SOURCES_0_1, 3, uint8_t(6 * n), 6}
               : Field{COM_KESTRAVO_CFG_PULSER_SOURCES_2_3, 2, uint8_t(6 * (n - 4)), 6};
}
Field DioSource(uint32_t j) {
  return j < 4 ? Field{COM_KESTRAVO_CFG_DIO_SOURCES_0_3, 3, uint8_t(6 * j), 6}
               : Field{COM_KESTRAVO_CFG_DIO_SOURCES_4_6, 3, uint8_t(6 * (j - 4)), 6};
}

struct IndexedSetting {
  char letter;
  uint32_t count;  // indices 0 .. count-1
  int digits;      // hexadecimal digits of the value
  Field (*field)(uint32_t index);
};

const IndexedSetting kIndexed[] = {
    {'d', 4, 8,
     [](uint32_t i) {
       return Field{uint8_t(COM_KESTRAVO_CFG_PULSER_DELAYS + 4 * i), 4, 0, 32};
     }},
    {'w', 4, 8,
     [](uint32_t i) {
       return Field{uint8_t(COM_KESTRAVO_CFG_PULSER_WIDTHS + 4 * i), 4, 0, 32};
     }},
    {'b', 2, 6,
     [](uint32_t i) {
       return Field{uint8_t(COM_KESTRAVO_CFG_BURST_SIZES + 3 * i), 3, 0, 24};
     }},
    {'p', 6, 2, PulserSource},
    {'e', 4, 2,
     [](uint32_t k) {
       return Field{COM_KESTRAVO_CFG_SWITCH_TRIGGER_SOURCES, 3, uint8_t(6 * k), 6};
     }},
    {'f', 4, 2,
     [](uint32_t k) {
       return Field{COM_KESTRAVO_CFG_SWITCH_ENABLE_SOURCES, 3, uint8_t(6 * k), 6};
     }},
    {'h', 4, 1,
     [](uint32_t k) {
       return Field{COM_KESTRAVO_CFG_SWITCH_ENABLE_DELAYS, 2, uint8_t(4 * k), 4};
     }},
    {'m', 5, 1,
     [](uint32_t m) {
       return Field{COM_KESTRAVO_CFG_TRIGGER_MAPPING, 3, uint8_t(4 * m), 4};
     }},
    {'n', 5, 1,
     [](uint32_t m) {
       return Field{COM_KESTRAVO_CFG_ENABLE_MAPPING, 3, uint8_t(4 * m), 4};
     }},
    {'o', 7, 2, DioSource},
};

constexpr Field kPeriod{COM_KESTRAVO_CFG_OSCILLATOR_PERIOD, 4, 0, 32};
constexpr Field kTriggerMappingOn{COM_KESTRAVO_CFG_TRIGGER_MAPPING, 3, COM_KESTRAVO_MAPPING_ON_BIT, 1};
constexpr Field kEnableMappingOn{COM_KESTRAVO_CFG_ENABLE_MAPPING, 3, COM_KESTRAVO_MAPPING_ON_BIT, 1};
Field TriggerRise(uint32_t k) { return Field{uint8_t(COM_KESTRAVO_CFG_TRIGGER_DELAYS + k), 1, 0, 4}; }
Field TriggerFall(uint32_t k) { return Field{uint8_t(COM_KESTRAVO_CFG_TRIGGER_DELAYS + k), 1, 4, 4}; }

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

constexpr uint32_t kCtsDropUs = 2000;    // CTS falls this long after RTS
constexpr uint32_t kCtsRiseUs = 5000;    // and rises this long after RTS comes back
constexpr uint32_t kRestartUs = 50000;   // a restart keeps CTS low this long
constexpr uint32_t kTurnaroundUs = 500;  // from the command's carriage return to the first reply character

}  // namespace

Block DefaultBlock() {
  Block b{};
  b[COM_KESTRAVO_CFG_FLAGS] = 0x07;  // DeviceEnable, OscillatorEnable, PulserEnable
  SetField(b, kPeriod, 998);  // 10 us
  for (uint32_t i = 0; i < 4; ++i) SetField(b, Field{uint8_t(COM_KESTRAVO_CFG_PULSER_WIDTHS + 4 * i), 4, 0, 32}, 98);  // 1 us wide
  SetField(b, PulserSource(0), 2);  // pulser 0 triggered by the oscillator
  for (uint32_t m = 0; m < 5; ++m) {
    SetField(b, Field{COM_KESTRAVO_CFG_TRIGGER_MAPPING, 3, uint8_t(4 * m), 4}, m);
    SetField(b, Field{COM_KESTRAVO_CFG_ENABLE_MAPPING, 3, uint8_t(4 * m), 4}, m);
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

std::string Device::Answer(char letter, const std::string& data, uint64_t at_us) {
  const std::string kInvalid = "?";
  const size_t n = data.size();
  uint32_t v = 0, idx = 0;

  for (const IndexedSetting& s : kIndexed) {
    if (s.letter != letter) continue;
    if (!ParseHex(data, 0, 1, idx) || idx >= s.count) return kInvalid;
    Field f = s.field(idx);
    if (n == size_t(1 + s.digits)) {
      if (!ParseHex(data, 1, s.digits, v)) return kInvalid;
      SetField(current_, f, v);
    } else if (n != 1) {
      return kInvalid;
    }
    return Hex(idx, 1) + Hex(GetField(current_, f), s.digits);
  }

  const uint8_t config = current_[COM_KESTRAVO_CFG_FLAGS];
  const uint64_t up_us = at_us - start_us_;
  auto yn = [](bool b) { return std::string(b ? "Y" : "N"); };
  auto number = [&](uint32_t& out) {
    return n == 2 && ParseHex(data, 0, 2, out) && out < uint32_t(kStoredConfigs);
  };

  switch (letter) {
    // Identity
    case 't':
      return n ? kInvalid : "4B53";
    case 'v':
      return n ? kInvalid : "0102";
    case 'V':
      return n ? kInvalid : "0103";
    case 'D':
      return n ? kInvalid : "Mar 14 2024";
    case 'P':
      return n ? kInvalid : "KESTRAVO PG4-HV pulse generator (simulated)";
    case 'N':
      return n ? kInvalid : Hex(0x00012345, 8);
    // Monitoring
    case 'M':
      return n ? kInvalid : "0000";
    case 'S':
      return n ? kInvalid : Hex((config & 1) ? 0 : 0x8000, 8);
    case 'C': {
      if (n) return kInvalid;
      char buf[16];
      std::snprintf(buf, sizeof buf, "%03u%04X", 100 + Jitter(60), 46875u);  // 48 MHz
      return buf;
    }
    case 'U':
      if (n) return kInvalid;
      Tick(at_us);
      return Hex(uint32_t(up_us / 1000000), 8) + Hex(uint32_t((up_us % 1000000) * 256 / 1000000), 2) +
             Hex(uint32_t(std::min(op_us_, up_us) / 1000000), 8);
    case 'u':
      if (n) return kInvalid;
      Tick(at_us);
      return Hex(nv_.total_up_s + uint32_t(up_us / 1000000), 8) +
             Hex(nv_.total_op_s + uint32_t(std::min(op_us_, up_us) / 1000000), 8);
    case 'H':
      if (n) return kInvalid;
      return Hex(11980 + Jitter(40), 4) + Hex(4990 + Jitter(20), 4) + Hex(3290 + Jitter(20), 4) +
             Hex(27315 + 3800 + Jitter(100), 4);
    case 'T':
      if (n) return kInvalid;
      return Hex(27315 + 2500 + Jitter(60), 4) + Hex(27315 + 2650 + Jitter(60), 4) +
             Hex(27315 + 2800 + Jitter(60), 4);
    case 'B': {
      if (n) return kInvalid;
      std::string s;
      for (int i = 0; i < 2; ++i)
        s += "YN" + Hex(3000, 4) + Hex(2950 + Jitter(100), 4) + Hex(450 + Jitter(20), 4);
      return s + "NN" + Hex(0, 4) + Hex(0, 4) + Hex(0, 4);
    }
    case 'L':
      if (n) return kInvalid;
      return std::string("N").append(yn(config & 1)).append(yn((config & 0x06) == 0x06));
    // Link
    case 'Z':
      return n ? kInvalid : "Y";
    case 'z':
      return n ? kInvalid : "Y";
    case '@':
      return data;
    case '#':
      return n ? kInvalid : "";
    case '$':
      if (n == 0) return Hex(baud_, 5);
      if ((n != 5 && n != 6) || !ParseHex(data, 0, n, v) || v < 300 || v > 1000000) return kInvalid;
      if (!faults.ignore_baud_change) baud_ = v;
      return Hex(v, 5);
    // Pulse generator, switches, DIO, controller
    case 's':
      if (n == 8 && ParseHex(data, 0, 8, v))
        SetField(current_, kPeriod, v);
      else if (n)
        return kInvalid;
      return Hex(GetField(current_, kPeriod), 8);
    case 'g':
      if (!ParseHex(data, 0, 1, idx) || idx >= 4) return kInvalid;
      if (n == 3) {
        uint32_t fall, rise;
        if (!ParseHex(data, 1, 1, fall) || !ParseHex(data, 2, 1, rise)) return kInvalid;
        SetField(current_, TriggerFall(idx), fall);
        SetField(current_, TriggerRise(idx), rise);
      } else if (n != 1) {
        return kInvalid;
      }
      return Hex(idx, 1) + Hex(GetField(current_, TriggerFall(idx)), 1) +
             Hex(GetField(current_, TriggerRise(idx)), 1);
    case 'k':
    case 'l': {
      Field f = letter == 'k' ? kTriggerMappingOn : kEnableMappingOn;
      if (n == 1 && (data[0] == 'Y' || data[0] == 'N'))
        SetField(current_, f, data[0] == 'Y');
      else if (n)
        return kInvalid;
      return yn(GetField(current_, f));
    }
    case 'i':
      if (n == 4) {
        uint32_t term, out;
        if (!ParseHex(data, 0, 2, term) || !ParseHex(data, 2, 2, out)) return kInvalid;
        current_[COM_KESTRAVO_CFG_DIO_TERMINATIONS] = uint8_t(term);
        current_[COM_KESTRAVO_CFG_DIO_OUTPUTS] = uint8_t(out);
      } else if (n) {
        return kInvalid;
      }
      return Hex(current_[COM_KESTRAVO_CFG_DIO_TERMINATIONS], 2) + Hex(current_[COM_KESTRAVO_CFG_DIO_OUTPUTS], 2);
    case 'E':
      if (n == 1 && (data[0] == 'Y' || data[0] == 'N')) {
        Tick(at_us);
        current_[COM_KESTRAVO_CFG_FLAGS] = uint8_t((current_[COM_KESTRAVO_CFG_FLAGS] & ~1u) | (data[0] == 'Y'));
      } else if (n) {
        return kInvalid;
      }
      return yn(current_[COM_KESTRAVO_CFG_FLAGS] & 1);
    case 'c':
      if (n == 2) {
        if (!ParseHex(data, 0, 2, v)) return kInvalid;
        Tick(at_us);
        current_[COM_KESTRAVO_CFG_FLAGS] = uint8_t(v);
        return Hex(current_[COM_KESTRAVO_CFG_FLAGS], 2);
      }
      if (n) return kInvalid;
      // State word: the configuration byte, master enable, software trigger output, device enabled.
      // An open safety interlock takes master enable and the device away.
      {
        const bool interlock = faults.interlock_ms == 0 || up_us < uint64_t(faults.interlock_ms) * 1000;
        const bool enabled = (config & 1) && interlock;
        return Hex(config | (enabled ? 0x0100 : 0) | ((config & 0x08) ? 0x0200 : 0) | (enabled ? 0x0400 : 0),
                   4);
      }
    // Configurations
    case '*':
      if (n) return kInvalid;
      current_ = DefaultBlock();
      return "";
    case 'a':
      if (n == 2 * kBlockSize) {
        Block b;
        if (!ParseBytes(data, 0, b.data(), kBlockSize)) return kInvalid;
        current_ = b;
      } else if (n) {
        return kInvalid;
      }
      return HexBytes(current_.data(), kBlockSize);
    case 'K':
      if (!ParseHex(data, 0, 2, v) || v >= uint32_t(kStoredConfigs)) return kInvalid;
      if (n == 2 + 2 * kBlockSize) {
        if (!ParseBytes(data, 2, nv_.blocks[v].data(), kBlockSize)) return kInvalid;
        Persist();
      } else if (n != 2) {
        return kInvalid;
      }
      return Hex(v, 2) + HexBytes(nv_.blocks[v].data(), kBlockSize);
    case 'A':
      if (!ParseHex(data, 0, 2, v) || v >= uint32_t(kStoredConfigs)) return kInvalid;
      if (n == 2 + 2 * kNameSize) {
        if (!ParseBytes(data, 2, nv_.names[v].data(), kNameSize)) return kInvalid;
        Persist();
      } else if (n != 2) {
        return kInvalid;
      }
      return Hex(v, 2) + HexBytes(nv_.names[v].data(), kNameSize);
    case 'X':
      if (!ParseHex(data, 0, 2, v) || v >= uint32_t(kStoredConfigs)) return kInvalid;
      if (n == 3) {
        uint32_t flags;
        if (!ParseHex(data, 2, 1, flags) || flags > 3) return kInvalid;
        nv_.flags[v] = uint8_t(flags);
        Persist();
      } else if (n != 2) {
        return kInvalid;
      }
      return Hex(v, 2) + Hex(nv_.flags[v], 1);
    case 'W': {
      if (n) return kInvalid;
      std::string s;
      for (int k = 0; k < kStoredConfigs / 2; ++k)
        s += Hex(nv_.flags[2 * k] | (nv_.flags[2 * k + 1] << 2), 1);
      return s;
    }
    case 'J':
      if (!number(v)) return kInvalid;
      nv_.blocks[v] = current_;
      nv_.flags[v] = 3;
      Persist();
      return Hex(v, 2);
    case 'j':
      if (!number(v) || !(nv_.flags[v] & 2)) return kInvalid;
      current_ = nv_.blocks[v];
      return Hex(v, 2);
    // Memory data
    case 'Y': {
      if (n == 0) {
        nv_.memory = working_;
        Persist();
        return "";
      }
      uint32_t address, size;
      if (n < 7 || !ParseHex(data, 0, 4, address) || !ParseHex(data, 4, 3, size)) return kInvalid;
      if (size > kMaxMemoryBlock || address + size > uint32_t(kMemorySize)) return kInvalid;
      if (n == 7 + 2 * size && size > 0) {
        if (!ParseBytes(data, 7, working_.data() + address, size)) return kInvalid;
      } else if (!(n == 7 || (size == 0 && n == 8 && data[7] == ','))) {
        return kInvalid;
      }
      return Hex(address, 4) + Hex(size, 3) + HexBytes(working_.data() + address, size);
    }
    default:
      return kInvalid;
  }
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
    else
      return false;
  }
  return true;
}

}  // namespace sim
