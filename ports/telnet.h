// The Telnet COM Port Control Option (RFC 2217): the codes both ends use, and the doubling of the
// IAC byte in data and in option values.
#pragma once
#include <cstdint>
#include <string>

namespace ports::telnet {

constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

// Client to server; the server answers with the same code plus 100.
constexpr uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5,
                  kNotifyLineState = 6, kNotifyModemState = 7, kSetLineStateMask = 10,
                  kSetModemStateMask = 11, kPurgeData = 12;
constexpr uint8_t kServer = 100;

// Values.
constexpr uint8_t kParityNone = 1, kParityEven = 3;
constexpr uint8_t kControlNoFlow = 1, kControlBreakOn = 5, kControlBreakOff = 6, kControlDtrOn = 8,
                  kControlDtrOff = 9, kControlRtsOn = 11, kControlRtsOff = 12;
constexpr uint8_t kPurgeBoth = 3;
// Modem state bits are those of the Windows modem status (CTS 10h, DSR 20h, RI 40h, DCD 80h);
// line state error bits: overrun 02h, parity 04h, framing 08h, break 10h.

// Data with every IAC doubled.
inline std::string Escape(const std::string& data) {
  std::string out;
  out.reserve(data.size());
  for (char c : data) {
    out += c;
    if (uint8_t(c) == kIac) out += c;
  }
  return out;
}

// One COM-PORT-OPTION subnegotiation: IAC SB 44 code value IAC SE, the value escaped.
inline std::string Subnegotiation(uint8_t code, const std::string& value) {
  return std::string{char(kIac), char(kSb), char(kComPort), char(code)} + Escape(value) +
         std::string{char(kIac), char(kSe)};
}

// Parses the bytes a Telnet peer sends: data, option negotiations and COM-PORT subnegotiations.
class Parser {
 public:
  struct Events {
    virtual ~Events() = default;
    virtual void Data(uint8_t byte) = 0;
    virtual void Negotiation(uint8_t verb, uint8_t option) = 0;
    virtual void ComPort(uint8_t code, const std::string& value) = 0;
  };
  void Feed(const uint8_t* bytes, size_t n, Events& events) {
    for (size_t i = 0; i < n; ++i) Step(bytes[i], events);
  }

 private:
  void Step(uint8_t b, Events& e) {
    switch (state_) {
      case kData:
        if (b == kIac)
          state_ = kCommand;
        else
          e.Data(b);
        return;
      case kCommand:
        if (b == kIac) {
          e.Data(b);
          state_ = kData;
        } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
          verb_ = b;
          state_ = kOption;
        } else if (b == kSb) {
          sub_.clear();
          state_ = kSub;
        } else {
          state_ = kData;  // NOP, GA and the like
        }
        return;
      case kOption:
        e.Negotiation(verb_, b);
        state_ = kData;
        return;
      case kSub:
        if (b == kIac)
          state_ = kSubIac;
        else if (sub_.size() < 64)
          sub_ += char(b);
        return;
      case kSubIac:
        if (b == kSe) {
          if (sub_.size() >= 2 && uint8_t(sub_[0]) == kComPort) e.ComPort(uint8_t(sub_[1]), sub_.substr(2));
          state_ = kData;
        } else {
          if (sub_.size() < 64) sub_ += char(b);  // a doubled IAC inside the value
          state_ = kSub;
        }
        return;
    }
  }
  enum State { kData, kCommand, kOption, kSub, kSubIac } state_ = kData;
  uint8_t verb_ = 0;
  std::string sub_;
};

}  // namespace ports::telnet
