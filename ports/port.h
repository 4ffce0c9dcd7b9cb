// A serial device as the serial port object needs it: one small interface, one implementation per
// kind of port (termios devices, the in-process line of the simulated device and of scripted peers,
// remote ports over RFC 2217). Every call returns a success flag; nothing throws.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace ports {

constexpr uint8_t kNoParity = 0;
constexpr uint8_t kOddParity = 1;
constexpr uint8_t kEvenParity = 2;

// The line settings of a port. No flow control of either kind: DTR and RTS change only by the
// explicit calls (Escape). Each kind of port maps them to its system (termios, RFC 2217 settings,
// the Win32 device control block).
struct PortConfig {
  uint32_t baud = 9600;
  uint8_t data_bits = 8;
  uint8_t parity = kEvenParity;  // kNoParity, kOddParity, kEvenParity
  uint8_t stop_bits = 1;         // 1 or 2
  bool operator==(const PortConfig&) const = default;
};

// Read time-outs in milliseconds, with the Windows meaning: a read ends when the requested bytes are
// in, when `ReadIntervalTimeout` passes between two bytes, or when the total time-out
// (constant + multiplier x bytes) passes. An interval of kMaxTimeout with zero totals returns at once
// with what has arrived.
struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};
constexpr uint32_t kMaxTimeout = 0xFFFFFFFFu;

// How long a write may take before it fails: twice the time of its characters on the wire
// (11 bit times each) plus one second.
inline int64_t WriteBoundMs(uint32_t count, uint32_t baud) {
  return 1000 + 2 * int64_t(count) * 11 * 1000 / (baud ? baud : 1) + 1;
}

// The time-outs of one read call, for every backend alike.
class ReadTimer {
 public:
  ReadTimer(const CommTimeouts& t, uint32_t wanted, int64_t now_ms)
      : t_(t),
        total_(int64_t(t.ReadTotalTimeoutMultiplier) * wanted + t.ReadTotalTimeoutConstant),
        start_(now_ms),
        last_byte_(now_ms) {}
  // The read returns at once with what has arrived.
  bool Immediate() const {
    return t_.ReadIntervalTimeout == kMaxTimeout && t_.ReadTotalTimeoutMultiplier == 0 &&
           t_.ReadTotalTimeoutConstant == 0;
  }
  void ByteArrived(int64_t now_ms) { last_byte_ = now_ms; }
  // Milliseconds the read may still wait, having got `got` bytes: -1 without limit, 0 when it ends.
  int64_t Left(uint32_t got, int64_t now_ms) const {
    int64_t wait = total_ > 0 ? start_ + total_ - now_ms : -1;
    const bool interval_on = got > 0 && t_.ReadIntervalTimeout > 0 && t_.ReadIntervalTimeout != kMaxTimeout;
    if (interval_on) {
      int64_t left = last_byte_ + t_.ReadIntervalTimeout - now_ms;
      wait = wait < 0 ? left : (left < wait ? left : wait);
    }
    if (total_ == 0 && !interval_on) return -1;
    return wait > 0 ? wait : 0;
  }

 private:
  CommTimeouts t_;
  int64_t total_;
  int64_t start_;
  int64_t last_byte_;
};

// Line error flags, as ClearCommError reports them.
constexpr uint32_t kCeRxOver = 0x0001;
constexpr uint32_t kCeOverrun = 0x0002;
constexpr uint32_t kCeRxParity = 0x0004;
constexpr uint32_t kCeFrame = 0x0008;
constexpr uint32_t kCeBreak = 0x0010;
constexpr uint32_t kCeTxFull = 0x0100;
constexpr uint32_t kCeIoe = 0x0400;
constexpr uint32_t kCeMode = 0x8000;

// Modem status bits.
constexpr uint32_t kMsCtsOn = 0x10;
constexpr uint32_t kMsDsrOn = 0x20;
constexpr uint32_t kMsRingOn = 0x40;
constexpr uint32_t kMsRlsdOn = 0x80;  // DCD

// Control line functions.
constexpr uint32_t kSetRts = 3;
constexpr uint32_t kClrRts = 4;
constexpr uint32_t kSetDtr = 5;
constexpr uint32_t kClrDtr = 6;

constexpr uint32_t kPurgeAll = 0x000F;
constexpr uint32_t kEvTxEmpty = 0x0004;

// The modem lines of a device that has none (a pseudo-terminal, a pty behind a COM port under Wine):
// those of a null-modem loopback, where CTS follows RTS, DSR follows DTR and DCD is on.
class LoopbackLines {
 public:
  bool Escape(uint32_t function) {
    if (function == kSetRts || function == kClrRts)
      rts_ = function == kSetRts;
    else if (function == kSetDtr || function == kClrDtr)
      dtr_ = function == kSetDtr;
    else
      return false;
    return true;
  }
  uint32_t Status() const { return (rts_ ? kMsCtsOn : 0) | (dtr_ ? kMsDsrOn : 0) | kMsRlsdOn; }

 private:
  bool dtr_ = false, rts_ = false;
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  virtual bool GetConfig(PortConfig& config) = 0;
  virtual bool SetConfig(const PortConfig& config) = 0;
  virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
  virtual bool Purge(uint32_t flags) = 0;
  // Returns and clears the line error flags gathered since the last call.
  virtual bool ClearError(uint32_t& errors) = 0;
  virtual bool Escape(uint32_t function) = 0;
  virtual bool ModemStatus(uint32_t& bits) = 0;
  virtual bool Read(void* buffer, uint32_t wanted, uint32_t& got) = 0;
  virtual bool Write(const void* data, uint32_t count, uint32_t& written) = 0;
  virtual bool SetBreak() = 0;
  virtual bool ClearBreak() = 0;
  // Blocks until the transmitter is empty; reports kEvTxEmpty.
  virtual bool WaitEvent(uint32_t& mask) = 0;
  // Waits up to ms milliseconds for received data; returns as soon as some is there. False only
  // when the device failed.
  virtual bool WaitForData(uint32_t ms) = 0;
  // What the port object should note once in the debug trace about this device (a pseudo-terminal
  // without modem lines, for one), or null.
  virtual const char* Notice() const { return nullptr; }
  virtual bool Close() = 0;
};

}  // namespace ports
