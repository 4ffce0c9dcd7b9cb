// The simulated device served over RFC 2217: one connection at a time, the device's modem lines
// sent as NOTIFY-MODEMSTATE when they change, the client's DTR and RTS and data rate applied to the
// device's line, and the replies sent when their characters would have arrived.
#include "sim/rfc2217_server.h"

#include <algorithm>
#include <deque>

#include "platform/clock.h"
#include "platform/tcp.h"
#include "ports/inproc.h"
#include "ports/telnet.h"

namespace sim {
namespace {

namespace tn = ports::telnet;

// The device's line holds what a UART would: bytes that arrive while more than this many
// characters still wait for their time on the line are dropped and reported to the client as an
// overrun; replies beyond the transmit buffer are dropped. Memory stays flat under any flood.
constexpr uint64_t kReceiveCharacters = 16384;
constexpr size_t kTransmitCharacters = 65536;
constexpr uint32_t kLowestRate = 300;    // as the device's own data-rate command
constexpr uint64_t kBusyGraceMs = 1000;  // how long a second client waits before it is refused

class Connection : public ports::PcEnd, private tn::Parser::Events {
 public:
  Connection(Device& device, int fd) : device_(device), fd_(fd) {}

  // Serves until the client leaves, stays silent longer than idle_ms (0: no limit) or stop is set;
  // a client that comes meanwhile waits a second, then is refused (waiting: its descriptor).
  void Run(const volatile std::sig_atomic_t& stop, int listener, uint64_t idle_ms, int& waiting) {
    using namespace tn;
    uint64_t waiting_since_ms = ports::NowUs() / 1000;
    device_.Attach(this);
    Send(std::string{char(kIac), char(kDo), char(kComPort), char(kIac), char(kWill), char(kBinary),
                     char(kIac), char(kDo), char(kBinary), char(kIac), char(kWill), char(kSuppressGoAhead)});
    uint8_t buffer[4096];
    while (!stop && alive_) {
      // Replies whose characters have arrived by now.
      const uint64_t now = ports::NowUs();
      std::string due;
      while (!out_.empty() && out_.front().first <= now) {
        due += char(out_.front().second);
        out_.pop_front();
      }
      if (!due.empty()) Send(Escape(due));
      NotifyModem(false);
      uint64_t wait_us = 5000;  // modem lines are looked at every 5 ms
      if (!out_.empty())
        wait_us = std::min<uint64_t>(wait_us, out_.front().first > now ? out_.front().first - now : 0);
      if (platform::WaitReadable(fd_, int((wait_us + 999) / 1000))) {
        const long n = platform::TcpReceive(fd_, buffer, sizeof buffer);
        if (n < 0) break;
        if (n > 0) last_heard_ms_ = ports::NowUs() / 1000;
        parser_.Feed(buffer, size_t(n), *this);
      }
      // A client that comes while this one is served waits a moment: a relay such as ser2net
      // connects anew as soon as its previous connection ended, before this end has seen it end.
      // Still busy after that, it is refused.
      if (waiting < 0) {
        waiting = platform::TcpAccept(listener, 0);
        waiting_since_ms = ports::NowUs() / 1000;
      } else if (ports::NowUs() / 1000 - waiting_since_ms > kBusyGraceMs) {
        platform::TcpSend(waiting, kBusyText, 200);
        platform::TcpClose(waiting);
        waiting = -1;
      }
      if (idle_ms && ports::NowUs() / 1000 - last_heard_ms_ > idle_ms) {
        Send("COM-KESTRAVO-Sim: nothing received for " + std::to_string(idle_ms / 1000) +
             " s, the connection is closed\r\n");
        break;
      }
    }
    // The lines stay as the client left them, as on a serial server's port: a relay such as ser2net
    // keeps its own idea of them and does not send them again when it connects anew.
    device_.Attach(nullptr);
  }

  // The device delivers to the client.
  void Deliver(uint64_t at_us, uint8_t value, const ports::LineParams&, uint32_t) override {
    if (out_.size() < kTransmitCharacters) out_.emplace_back(at_us, value);
  }
  void DropPending(uint64_t after_us) override {
    while (!out_.empty() && out_.back().first > after_us) out_.pop_back();
  }

 private:
  void Send(const std::string& bytes) {
    if (alive_ && !platform::TcpSend(fd_, bytes, 2000)) alive_ = false;
  }
  void Reply(uint8_t code, const std::string& value) {
    Send(tn::Subnegotiation(uint8_t(code + tn::kServer), value));
  }
  void NotifyModem(bool always) {
    const uint8_t bits = uint8_t(device_.Modem(ports::NowUs()) & 0xF0);
    if (!always && bits == modem_) return;
    // Delta bits (0 to 3) for the lines that changed.
    const uint8_t delta = uint8_t(((bits ^ modem_) >> 4) & 0x0F);
    modem_ = bits;
    Reply(tn::kNotifyModemState, std::string(1, char((bits | delta) & mask_)));
  }

  // The bytes come over the network at once; on the device's line they follow one another at the
  // data rate, each arriving a character's time after the one before.
  void Data(uint8_t byte) override {
    const uint64_t now = ports::NowUs(), char_us = ports::CharTimeUs(baud_);
    if (rx_free_us_ > now + kReceiveCharacters * char_us) {
      if (!overrun_) Reply(tn::kNotifyLineState, std::string(1, char(0x02)));
      overrun_ = true;
      return;
    }
    overrun_ = false;
    rx_free_us_ = std::max(now, rx_free_us_) + char_us;
    device_.Receive(rx_free_us_, byte, ports::LineParams{baud_, parity_});
  }
  void Negotiation(uint8_t, uint8_t) override {}
  void ComPort(uint8_t code, const std::string& value) override {
    using namespace tn;
    switch (code) {
      case kSetBaudRate:
        if (value.size() == 4) {
          const uint32_t rate = uint32_t(uint8_t(value[0])) << 24 | uint32_t(uint8_t(value[1])) << 16 |
                                uint32_t(uint8_t(value[2])) << 8 | uint8_t(value[3]);
          if (rate >= kLowestRate) baud_ = rate;  // 0 asks for the current rate; slower ones are refused
        }
        Reply(code, std::string{char(baud_ >> 24), char(baud_ >> 16), char(baud_ >> 8), char(baud_)});
        return;
      case kSetParity:
        if (!value.empty() && value[0])
          parity_ = value[0] == char(kParityEven) ? ports::kEvenParity : ports::kNoParity;
        Reply(code, std::string(1, char(parity_ == ports::kEvenParity ? kParityEven : kParityNone)));
        return;
      case kSetControl: {
        const uint8_t v = value.empty() ? 0 : uint8_t(value[0]);
        if (v == kControlDtrOn || v == kControlDtrOff) dtr_ = v == kControlDtrOn;
        if (v == kControlRtsOn || v == kControlRtsOff) rts_ = v == kControlRtsOn;
        if (v >= kControlDtrOn) device_.Control(ports::NowUs(), dtr_, rts_);
        Reply(code, value);
        return;
      }
      case kSetModemStateMask:
        mask_ = value.empty() ? 0xFF : uint8_t(value[0]);
        Reply(code, value);
        NotifyModem(true);  // as ser2net does: the current state right away
        return;
      case kPurgeData:
        // As a serial server empties its buffers: replies not yet sent and characters not yet
        // through the line are dropped.
        out_.clear();
        rx_free_us_ = std::min(rx_free_us_, ports::NowUs());
        Reply(code, value);
        return;
      case kSetDataSize:
      case kSetStopSize:
      case kSetLineStateMask:
        Reply(code, value);
        return;
      default:
        return;
    }
  }

  Device& device_;
  int fd_;
  bool alive_ = true;
  tn::Parser parser_;
  std::deque<std::pair<uint64_t, uint8_t>> out_;
  uint32_t baud_ = 9600;
  uint8_t parity_ = ports::kEvenParity;
  bool dtr_ = false, rts_ = false;
  uint8_t modem_ = 0, mask_ = 0xFF;
  uint64_t rx_free_us_ = 0;
  uint64_t last_heard_ms_ = ports::NowUs() / 1000;
  bool overrun_ = false;  // reported once per run of dropped bytes
};

}  // namespace

int ServeConnection(Device& device, int fd, const volatile std::sig_atomic_t& stop, int listener,
                    uint64_t idle_ms) {
  int waiting = -1;
  Connection(device, fd).Run(stop, listener, idle_ms, waiting);
  return waiting;
}

int ServeRfc2217(Device& device, const std::string& address, uint16_t port,
                 const std::function<void(const std::string&)>& ready, const volatile std::sig_atomic_t& stop,
                 uint32_t idle_seconds) {
  std::string why;
  const int listener = platform::TcpListen(address, port, why);
  if (listener < 0) {
    std::fprintf(stderr, "COM-KESTRAVO-Sim: %s\n", why.c_str());
    return 1;
  }
  ready(address + ":" + std::to_string(platform::TcpLocalPort(listener)));
  int next = -1;  // a client that came while the last one was served
  while (!stop) {
    const int fd = next >= 0 ? next : platform::TcpAccept(listener, 200);
    if (fd < 0) continue;
    next = ServeConnection(device, fd, stop, listener, uint64_t(idle_seconds) * 1000);
    platform::TcpClose(fd);
  }
  if (next >= 0) platform::TcpClose(next);
  platform::TcpClose(listener);
  return 0;
}

}  // namespace sim
