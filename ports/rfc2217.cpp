// A remote serial port over RFC 2217 (Telnet COM Port Control), as ser2net and pySerial serve it:
// "rfc2217://host:port". Line settings, DTR, RTS, break and purge travel as COM-PORT-OPTION
// subnegotiations; CTS, DSR, RI and DCD arrive in NOTIFY-MODEMSTATE, line errors in
// NOTIFY-LINESTATE. Everything happens in the calling thread: each call first takes in what the
// server has sent.
#include <algorithm>
#include <chrono>
#include <deque>
#include <string>

#include "platform/clock.h"
#include "platform/tcp.h"
#include "ports/kinds.h"
#include "ports/port.h"
#include "ports/telnet.h"

namespace ports {
namespace {

using platform::TcpClose;
using platform::TcpConnect;
using platform::TcpReceive;
using platform::TcpSend;
using platform::WaitReadable;

namespace tn = telnet;

constexpr int kConnectMs = 3000;
constexpr int kAckMs = 1000;     // acknowledgement of a line setting
constexpr int kShortAckMs = 20;  // the same, once the server has left one unanswered
// ser2net looks at the real lines about once a second unless asked: while the link layer watches
// a status line, the state is asked for again this often.
constexpr uint64_t kModemQueryMs = 50;
// The receive side holds what a UART's buffer would: the longest reply (a 4092-byte memory block,
// 8184 hexadecimal characters) with room to spare. Characters beyond it are dropped and reported as
// an overrun, so that a server sending without end cannot grow the library.
constexpr size_t kReceiveBuffer = 16384;
// What one look at the connection takes in at most: a server that never stops sending cannot hold a
// call.
constexpr size_t kPumpBytes = 16384;

uint64_t RealMs() {
  return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

std::string Value32(uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

class Rfc2217Device final : public SerialDevice, private tn::Parser::Events {
 public:
  explicit Rfc2217Device(int fd) : fd_(fd) {}
  ~Rfc2217Device() override { Close(); }

  // Telnet negotiation and the modem-state mask; false when the server does not take the option.
  bool Start(std::string& why) {
    using namespace tn;
    const std::string hello{
        char(kIac), char(kWill), char(kComPort),        char(kIac), char(kWill), char(kBinary),
        char(kIac), char(kDo),   char(kBinary),         char(kIac), char(kWill), char(kSuppressGoAhead),
        char(kIac), char(kDo),   char(kSuppressGoAhead)};
    if (!Send(hello)) return Fail(why, "cannot send the Telnet options");
    const uint64_t deadline = RealMs() + kAckMs * 2;
    while (!com_port_ && !dead_ && RealMs() < deadline) Pump(20);
    if (!com_port_) {
      // A server that refuses (a port in use: ser2net and our own server say so in a line of text)
      // is quoted.
      std::string said;
      for (uint8_t c : rx_)
        if (c >= 0x20 && c < 0x7F && said.size() < 160) said += char(c);
      if (!said.empty()) return Fail(why, "the server refused: " + said);
      return Fail(why, dead_ ? "the connection ended" : "the server does not offer COM-PORT-OPTION");
    }
    Send(Subnegotiation(kSetLineStateMask, std::string(1, char(0x1E))));
    QueryModem();
    return true;
  }

  bool GetConfig(PortConfig& config) override {
    if (dead_) return false;
    config = config_;
    return true;
  }

  bool SetConfig(const PortConfig& config) override {
    using namespace tn;
    if (dead_) return false;
    const uint8_t parity = config.parity == kEvenParity ? kParityEven : kParityNone;
    // Each setting is acknowledged; an acknowledgement that differs from the request is taken as the
    // server's own value (some servers answer with what the port really runs at).
    if (!Setting(kSetBaudRate, Value32(config.baud)) ||
        !Setting(kSetDataSize, std::string(1, char(config.data_bits))) ||
        !Setting(kSetParity, std::string(1, char(parity))) ||
        !Setting(kSetStopSize, std::string(1, char(config.stop_bits))) ||
        !Setting(kSetControl, std::string(1, char(kControlNoFlow))))
      return false;
    config_ = config;
    return true;
  }

  bool SetTimeouts(const CommTimeouts& t) override {
    timeouts_ = t;
    return !dead_;
  }

  bool Purge(uint32_t) override {
    Pump(0);
    rx_.clear();
    line_free_ms_ = 0;
    return Send(tn::Subnegotiation(tn::kPurgeData, std::string(1, char(tn::kPurgeBoth))));
  }

  // The line's errors as the server's notifications told them, from what was read.
  bool ClearError(uint32_t& errors) override {
    if (dead_) return false;
    errors = errors_;
    errors_ = 0;
    return true;
  }

  bool Escape(uint32_t function) override {
    uint8_t value = 0;
    switch (function) {
      case kSetRts:
        value = tn::kControlRtsOn;
        break;
      case kClrRts:
        value = tn::kControlRtsOff;
        break;
      case kSetDtr:
        value = tn::kControlDtrOn;
        break;
      case kClrDtr:
        value = tn::kControlDtrOff;
        break;
      default:
        return false;
    }
    const bool ok = Send(tn::Subnegotiation(tn::kSetControl, std::string(1, char(value))));
    QueryModem();  // the far end's lines may follow ours
    return ok;
  }

  // The lines as the server last told them: asked anew every kModemQueryMs, and the socket looked
  // at only while that answer is awaited (a notification of its own comes in with the next read).
  bool ModemStatus(uint32_t& bits) override {
    if (dead_) return false;
    if (RealMs() - last_query_ms_ >= kModemQueryMs) QueryModem();
    if (modem_awaited_) Pump(0);
    if (dead_) return false;
    bits = modem_ & (kMsCtsOn | kMsDsrOn | kMsRingOn | kMsRlsdOn);
    return true;
  }

  bool Read(void* buffer, uint32_t wanted, uint32_t& got) override {
    got = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    ReadTimer timer(timeouts_, wanted, int64_t(std::max(RealMs(), line_free_ms_)));
    // What has been read already answers first. The socket is looked at without waiting only by a
    // read that may not wait, or before a read ends empty-handed; otherwise the wait for it does.
    bool looked = false;
    for (;;) {
      if (timer.Immediate() && !looked && rx_.size() < wanted - got) {
        Pump(0);
        looked = true;
      }
      while (got < wanted && !rx_.empty()) {
        out[got++] = rx_.front();
        rx_.pop_front();
        timer.ByteArrived(int64_t(RealMs()));
      }
      if (got >= wanted || timer.Immediate()) return !dead_ || got > 0;
      if (dead_) return got > 0;
      const int64_t wait = timer.Left(got, int64_t(RealMs()));
      if (wait == 0 && looked) return true;
      Pump(wait < 0 ? 1000 : int(wait));
      looked = true;
    }
  }

  // The server passes the characters on at the data rate: the far end's line is busy with them
  // until line_free_ms_, and a read's time-outs count from then (as a local read's count from the
  // end of a write that returned when its characters were on the wire).
  bool Write(const void* data, uint32_t count, uint32_t& written) override {
    written = 0;
    const std::string bytes(static_cast<const char*>(data), count);
    if (!Send(tn::Escape(bytes), int(WriteBoundMs(count, config_.baud)))) return false;
    const uint64_t baud = config_.baud ? config_.baud : 9600;
    line_free_ms_ = std::max(line_free_ms_, RealMs()) + uint64_t(count) * 11 * 1000 / baud;
    written = count;
    return true;
  }

  bool SetBreak() override {
    return Send(tn::Subnegotiation(tn::kSetControl, std::string(1, char(tn::kControlBreakOn))));
  }
  bool ClearBreak() override {
    return Send(tn::Subnegotiation(tn::kSetControl, std::string(1, char(tn::kControlBreakOff))));
  }
  bool WaitEvent(uint32_t& mask) override {
    mask = kEvTxEmpty;
    return !dead_;
  }
  bool WaitForData(uint32_t ms) override {
    if (dead_) return false;
    if (rx_.empty()) Pump(int(ms));
    return !dead_ || !rx_.empty();
  }
  bool Close() override {
    if (fd_ < 0) return false;
    TcpClose(fd_);
    fd_ = -1;
    dead_ = true;
    return true;
  }

 private:
  bool Fail(std::string& why, const std::string& what) {
    why = what;
    return false;
  }

  bool Send(const std::string& bytes, int timeout_ms = 1000) {
    if (dead_) return false;
    if (!TcpSend(fd_, bytes, timeout_ms)) dead_ = true;
    return !dead_;
  }

  void QueryModem() {
    last_query_ms_ = RealMs();
    modem_awaited_ = true;
    Send(tn::Subnegotiation(tn::kSetModemStateMask, std::string(1, char(0xFF))));
  }

  // Takes in what the server sent: waits up to wait_ms (0: only looks) until the socket can be
  // read, then receives once; only a full buffer is followed by another receive. A receive is never
  // made to learn that nothing is there (each costs a system call, on Windows more than one).
  void Pump(int wait_ms) {
    if (dead_ || !WaitReadable(fd_, wait_ms)) return;
    uint8_t buffer[4096];
    for (size_t taken = 0; taken < kPumpBytes; taken += sizeof buffer) {
      const long n = TcpReceive(fd_, buffer, sizeof buffer);
      if (n < 0) {
        dead_ = true;
        return;
      }
      if (n > 0) parser_.Feed(buffer, size_t(n), *this);
      if (size_t(n) < sizeof buffer) return;
    }
  }

  // Sends a line setting and waits for its acknowledgement, asking once more when none comes.
  // ser2net, relaying to another RFC 2217 port, answers a setting it has already passed on in an
  // earlier session with nothing at all: a setting still unacknowledged then is taken as made, as
  // long as the connection is alive. Once a server has left a setting unanswered, the later ones
  // are given only a short while, so that a stalled server keeps an opening within the bounds of
  // a local port's.
  bool Setting(uint8_t code, const std::string& value) {
    const int attempts = unanswered_ ? 1 : 2;
    const uint64_t wait = unanswered_ ? kShortAckMs : kAckMs / 2;
    for (int attempt = 0; attempt < attempts; ++attempt) {
      acked_[code] = false;
      if (!Send(tn::Subnegotiation(code, value))) return false;
      const uint64_t deadline = RealMs() + wait;
      while (!acked_[code] && !dead_ && RealMs() < deadline) Pump(int(deadline - RealMs()));
      if (acked_[code]) return true;
    }
    unanswered_ = true;
    return !dead_;
  }

  // Parser events.
  void Data(uint8_t byte) override {
    if (rx_.size() < kReceiveBuffer)
      rx_.push_back(byte);
    else
      errors_ |= kCeOverrun;
  }
  void Negotiation(uint8_t verb, uint8_t option) override {
    using namespace tn;
    if (option == kComPort && (verb == kDo || verb == kWill)) com_port_ = true;
    // Options we did not offer are refused; those we offered are not answered again.
    const bool ours = option == kComPort || option == kBinary || option == kSuppressGoAhead;
    if (!ours && verb == kDo) Send(std::string{char(kIac), char(kWont), char(option)});
    if (!ours && verb == kWill) Send(std::string{char(kIac), char(kDont), char(option)});
  }
  void ComPort(uint8_t code, const std::string& value) override {
    using namespace tn;
    if (code < kServer) return;
    const uint8_t request = uint8_t(code - kServer);
    if (request == kNotifyModemState && !value.empty()) {
      modem_ = uint8_t(value[0]);
      modem_awaited_ = false;
    }
    if (request == kNotifyLineState && !value.empty()) {
      const uint8_t line = uint8_t(value[0]);
      if (line & 0x02) errors_ |= kCeOverrun;
      if (line & 0x04) errors_ |= kCeRxParity;
      if (line & 0x08) errors_ |= kCeFrame;
      if (line & 0x10) errors_ |= kCeBreak;
    }
    if (request == kSetBaudRate && value.size() == 4) {
      const uint32_t rate = uint32_t(uint8_t(value[0])) << 24 | uint32_t(uint8_t(value[1])) << 16 |
                            uint32_t(uint8_t(value[2])) << 8 | uint8_t(value[3]);
      if (rate) config_.baud = rate;
    }
    if (request < 16) acked_[request] = true;
  }

  int fd_;
  bool dead_ = false;
  bool com_port_ = false;
  tn::Parser parser_;
  std::deque<uint8_t> rx_;
  uint8_t modem_ = 0;
  uint32_t errors_ = 0;
  bool acked_[16] = {};
  bool unanswered_ = false;
  uint64_t last_query_ms_ = 0;
  bool modem_awaited_ = false;  // a query was sent and its answer has not come yet
  uint64_t line_free_ms_ = 0;   // when the characters written so far are through the far end's line
  PortConfig config_{};
  CommTimeouts timeouts_{};
};

}  // namespace

// "//host:port"
std::unique_ptr<SerialDevice> OpenRfc2217Device(const std::string& argument) {
  std::string address = argument.rfind("//", 0) == 0 ? argument.substr(2) : argument;
  const size_t colon = address.rfind(':');
  if (colon == std::string::npos || colon + 1 >= address.size()) {
    SetOpenFailure("rfc2217:" + argument + ": no port number");
    return nullptr;
  }
  std::string host = address.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  // The port: decimal digits only, 1 to 65535 (a larger number would wrap to another port).
  const std::string digits = address.substr(colon + 1);
  unsigned long port = 0;
  for (char c : digits) {
    port = (c >= '0' && c <= '9' && port <= 65535) ? port * 10 + unsigned(c - '0') : 65536;
  }
  if (port == 0 || port > 65535) {
    SetOpenFailure("rfc2217:" + argument + ": the port number must be 1 to 65535");
    return nullptr;
  }
  std::string why;
  const int fd = TcpConnect(host, uint16_t(port), kConnectMs, why);
  if (fd < 0) {
    SetOpenFailure("rfc2217:" + argument + ": " + why);
    return nullptr;
  }
  auto device = std::make_unique<Rfc2217Device>(fd);
  if (!device->Start(why)) {
    SetOpenFailure("rfc2217:" + argument + ": " + why);
    return nullptr;
  }
  return device;
}

}  // namespace ports
