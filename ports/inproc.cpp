#include "ports/inproc.h"

#include <algorithm>

#include "platform/clock.h"

namespace ports {

using platform::ClockUs;
using platform::SleepUs;
using platform::TickMs;

uint64_t CharTimeUs(uint32_t baud) { return baud ? (11ull * 1000000ull + baud - 1) / baud : 1000000ull; }

uint64_t NowUs() { return ClockUs(); }

uint8_t GarbleByte(uint8_t value, const LineParams& sender, const LineParams& receiver) {
  if (sender.baud == receiver.baud) return value;
  // Sampled at the wrong rate the receiver sees the bits stretched or squeezed; any fixed,
  // value-dependent mapping will do, as long as it is never the byte that was sent.
  uint8_t g = uint8_t((value * 37u + sender.baud / 100u + receiver.baud / 300u) ^ 0xA5u);
  return g == value ? uint8_t(g ^ 0x81u) : g;
}

namespace {

struct WireByte {
  uint64_t at_us;
  uint8_t value;
  LineParams line;
  uint32_t errors;
};

class InProcDevice final : public SerialDevice, public PcEnd {
 public:
  explicit InProcDevice(std::shared_ptr<InProcPeer> peer) : peer_(std::move(peer)) { peer_->Attach(this); }
  ~InProcDevice() override { Close(); }

  // PcEnd
  void Deliver(uint64_t at_us, uint8_t value, const LineParams& sent_with, uint32_t errors) override {
    if (!rx_.empty()) at_us = std::max(at_us, rx_.back().at_us);
    rx_.push_back({at_us, value, sent_with, errors});
  }
  void DropPending(uint64_t after_us) override {
    while (!rx_.empty() && rx_.back().at_us > after_us) rx_.pop_back();
  }

  // SerialDevice
  bool GetConfig(PortConfig& config) override {
    if (!open_) return false;
    config = config_;
    return true;
  }
  bool SetConfig(const PortConfig& config) override {
    if (!open_ || config.baud == 0 || config.data_bits != 8) return false;
    config_ = config;
    line_.baud = config.baud;
    line_.parity = config.parity;
    return true;
  }
  bool SetTimeouts(const CommTimeouts& t) override {
    if (!open_) return false;
    timeouts_ = t;
    return true;
  }
  bool Purge(uint32_t) override {
    if (!open_) return false;
    uint64_t now = NowUs();
    while (!rx_.empty() && rx_.front().at_us <= now) rx_.pop_front();
    tx_free_us_ = std::min(tx_free_us_, now);  // nothing of ours is still queued for the wire
    return true;
  }
  bool ClearError(uint32_t& errors) override {
    if (!open_) return false;
    errors = errors_;
    errors_ = 0;
    return true;
  }
  bool Escape(uint32_t function) override {
    if (!open_) return false;
    switch (function) {
      case kSetRts:
        rts_ = true;
        break;
      case kClrRts:
        rts_ = false;
        break;
      case kSetDtr:
        dtr_ = true;
        break;
      case kClrDtr:
        dtr_ = false;
        break;
      default:
        return false;
    }
    peer_->Control(NowUs(), dtr_, rts_);
    return true;
  }
  bool ModemStatus(uint32_t& bits) override {
    if (!open_) return false;
    bits = peer_->Modem(NowUs());
    return true;
  }
  bool Read(void* buffer, uint32_t wanted, uint32_t& got) override {
    got = 0;
    if (!open_) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    ReadTimer timer(timeouts_, wanted, int64_t(TickMs()));
    for (;;) {
      uint64_t now_us = NowUs();
      while (got < wanted && !rx_.empty() && rx_.front().at_us <= now_us) {
        WireByte b = rx_.front();
        rx_.pop_front();
        uint32_t errors = b.errors;
        uint8_t value = b.value;
        if (b.line.baud != line_.baud) {
          value = GarbleByte(value, b.line, line_);
          errors |= kCeFrame;
        } else if (b.line.parity != line_.parity && (value & 1)) {
          errors |= kCeRxParity;  // every other byte happens to pass the parity check
        }
        errors_ |= errors;
        out[got++] = value;
        timer.ByteArrived(int64_t(TickMs()));
      }
      if (got >= wanted || timer.Immediate()) return true;
      const int64_t wait = timer.Left(got, int64_t(TickMs()));
      if (wait == 0) return true;
      // Sleep until the next byte is due or the time-out ends, whichever comes first.
      uint64_t step_us = wait < 0 ? 1000000 : uint64_t(wait) * 1000 - NowUs() % 1000;
      if (!rx_.empty()) {
        // Until the bytes still wanted are in, as far as they follow one another closely enough
        // for the interval time-out: one wake-up for a reply instead of one for every byte.
        const uint64_t now = NowUs(), gap_us = uint64_t(timeouts_.ReadIntervalTimeout) * 1000;
        const bool interval =
            timeouts_.ReadIntervalTimeout > 0 && timeouts_.ReadIntervalTimeout != kMaxTimeout;
        uint64_t due = rx_.front().at_us;
        for (size_t i = 1; i < rx_.size() && i < wanted - got; ++i) {
          if (interval && rx_[i].at_us - due >= gap_us) break;
          due = rx_[i].at_us;
        }
        step_us = std::min(step_us, due > now ? due - now : 1);
      }
      SleepUs(std::max<uint64_t>(step_us, 1));
    }
  }
  bool Write(const void* data, uint32_t count, uint32_t& written) override {
    written = 0;
    if (!open_) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    uint64_t char_us = CharTimeUs(line_.baud);
    uint64_t start = std::max(NowUs(), tx_free_us_);
    for (uint32_t i = 0; i < count; ++i) peer_->Receive(start + (i + 1) * char_us, p[i], line_);
    tx_free_us_ = start + count * char_us;
    // A write returns when its characters are on the wire, as a synchronous write to a real line.
    const uint64_t now = NowUs();
    if (tx_free_us_ > now) SleepUs(tx_free_us_ - now);
    written = count;
    return true;
  }
  bool WaitForData(uint32_t ms) override {
    if (!open_) return false;
    const uint64_t now = NowUs(), until = now + uint64_t(ms) * 1000;
    if (!rx_.empty() && rx_.front().at_us <= now) return true;
    const uint64_t wake = rx_.empty() ? until : std::min(until, rx_.front().at_us);
    if (wake > now) SleepUs(wake - now);
    return true;
  }
  bool SetBreak() override {
    if (!open_) return false;
    peer_->Break(NowUs(), true);
    return true;
  }
  bool ClearBreak() override {
    if (!open_) return false;
    peer_->Break(NowUs(), false);
    return true;
  }
  bool WaitEvent(uint32_t& mask) override {
    if (!open_) return false;
    uint64_t now = NowUs();
    if (tx_free_us_ > now) SleepUs(tx_free_us_ - now);
    mask = kEvTxEmpty;
    return true;
  }
  bool Close() override {
    if (!open_) return false;
    open_ = false;
    peer_->Closed(NowUs());
    return true;
  }

 private:
  std::shared_ptr<InProcPeer> peer_;
  bool open_ = true;
  bool dtr_ = false, rts_ = false;
  PortConfig config_{};
  LineParams line_{};
  CommTimeouts timeouts_{};
  std::deque<WireByte> rx_;
  uint32_t errors_ = 0;
  uint64_t tx_free_us_ = 0;
};

}  // namespace

std::unique_ptr<SerialDevice> MakeInProcDevice(std::shared_ptr<InProcPeer> peer) {
  return std::make_unique<InProcDevice>(std::move(peer));
}

}  // namespace ports
