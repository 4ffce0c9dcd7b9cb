// Real serial devices on Linux: termios, modem-line ioctls and poll() with millisecond time-outs.
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ports/kinds.h"
#include "ports/port.h"
#include "ports/termios_line.h"

namespace ports {
namespace {

int64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// A pseudo-terminal's slave side (Unix 98 ptys have majors 136 to 143).
bool IsPseudoTerminal(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

class TermiosDevice final : public SerialDevice {
 public:
  explicit TermiosDevice(int fd) : fd_(fd) {
    // A device without modem-control lines (a pseudo-terminal, for one) gets those of a null-modem
    // loopback: CTS follows RTS, DSR follows DTR, DCD is on.
    int bits = 0;
    pty_ = IsPseudoTerminal(fd_);
    loopback_ = ioctl(fd_, TIOCMGET, &bits) != 0 && (errno == ENOTTY || errno == EINVAL);
    have_icount_ = ioctl(fd_, TIOCGICOUNT, &icount_) == 0;
    // USB adapters otherwise hold received bytes for up to 16 ms.
    serial_struct ss{};
    if (ioctl(fd_, TIOCGSERIAL, &ss) == 0) {
      ss.flags |= ASYNC_LOW_LATENCY;
      ioctl(fd_, TIOCSSERIAL, &ss);
    }
  }
  ~TermiosDevice() override { Close(); }

  bool GetConfig(PortConfig& config) override { return fd_ >= 0 && ReadTermiosLine(fd_, config); }

  bool SetConfig(const PortConfig& config) override {
    if (fd_ < 0) return false;
    PortConfig line = config;
    if (!ApplyTermiosLine(fd_, line)) {
      // A pseudo-terminal cannot keep parity; there, and only there, the line goes without it.
      if (!pty_ || line.parity == kNoParity) return false;
      line.parity = kNoParity;
      if (!ApplyTermiosLine(fd_, line)) return false;
      parity_dropped_ = true;
    }
    parity_marks_ = line.parity != kNoParity;
    baud_ = line.baud;
    return true;
  }

  bool SetTimeouts(const CommTimeouts& t) override {
    if (fd_ < 0) return false;
    timeouts_ = t;
    return true;
  }

  bool Purge(uint32_t) override {
    if (fd_ < 0 || tcflush(fd_, TCIOFLUSH) != 0) return false;
    raw_.clear();
    return true;
  }

  bool ClearError(uint32_t& errors) override {
    if (fd_ < 0) return false;
    UpdateErrorCounts();
    errors = errors_;
    errors_ = 0;
    return true;
  }

  bool Escape(uint32_t function) override {
    if (fd_ < 0) return false;
    if (loopback_) return lines_.Escape(function);
    int bits = 0;
    unsigned long request = 0;
    switch (function) {
      case kSetRts:
        bits = TIOCM_RTS;
        request = TIOCMBIS;
        break;
      case kClrRts:
        bits = TIOCM_RTS;
        request = TIOCMBIC;
        break;
      case kSetDtr:
        bits = TIOCM_DTR;
        request = TIOCMBIS;
        break;
      case kClrDtr:
        bits = TIOCM_DTR;
        request = TIOCMBIC;
        break;
      default:
        return false;
    }
    return ioctl(fd_, request, &bits) == 0;
  }

  bool ModemStatus(uint32_t& out) override {
    int bits = 0;
    if (fd_ < 0) return false;
    if (loopback_) {
      out = lines_.Status();
      return true;
    }
    if (ioctl(fd_, TIOCMGET, &bits) != 0) return false;
    out = ((bits & TIOCM_CTS) ? kMsCtsOn : 0) | ((bits & TIOCM_DSR) ? kMsDsrOn : 0) |
          ((bits & TIOCM_RNG) ? kMsRingOn : 0) | ((bits & TIOCM_CAR) ? kMsRlsdOn : 0);
    return true;
  }

  bool Read(void* buffer, uint32_t wanted, uint32_t& got) override {
    got = 0;
    if (fd_ < 0) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    ReadTimer timer(timeouts_, wanted, NowMs());
    for (;;) {
      got += Decode(out + got, wanted - got);
      if (got >= wanted) return true;
      if (timer.Immediate()) {
        if (!Fill(0)) return false;
        got += Decode(out + got, wanted - got);
        return true;
      }
      int64_t wait = timer.Left(got, NowMs());
      if (wait == 0) return true;
      size_t before = raw_.size();
      if (!Fill(int(wait))) return false;
      if (raw_.size() > before) timer.ByteArrived(NowMs());
    }
  }

  // Returns when the bytes are on the wire, as a synchronous write does, or fails when that takes
  // longer than twice their time on the wire plus a second (a far end that stopped reading).
  bool Write(const void* data, uint32_t count, uint32_t& written) override {
    written = 0;
    if (fd_ < 0) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    const int64_t deadline = NowMs() + WriteBoundMs(count, baud_);
    while (written < count) {
      ssize_t n = ::write(fd_, p + written, count - written);
      if (n > 0) {
        written += uint32_t(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      const int64_t left = deadline - NowMs();
      if (left <= 0) return false;
      pollfd pfd{fd_, POLLOUT, 0};
      if (poll(&pfd, 1, int(left)) < 0 && errno != EINTR) return false;
    }
    return Drain(deadline);
  }

  bool WaitForData(uint32_t ms) override {
    if (fd_ < 0) return false;
    if (!raw_.empty()) return true;
    pollfd pfd{fd_, POLLIN, 0};
    int r = poll(&pfd, 1, int(ms));
    return r >= 0 || errno == EINTR;
  }

  const char* Notice() const override {
    if (loopback_ && parity_dropped_)
      return "pseudo-terminal: the modem lines are those of a null-modem loopback (CTS follows RTS, DSR "
             "follows DTR, DCD on), and the line goes without parity";
    if (loopback_)
      return "device without modem lines: they are those of a null-modem loopback (CTS follows RTS, DSR "
             "follows DTR, DCD on)";
    if (parity_dropped_) return "pseudo-terminal: the line goes without parity";
    return nullptr;
  }

  bool SetBreak() override { return fd_ >= 0 && ioctl(fd_, TIOCSBRK) == 0; }
  bool ClearBreak() override { return fd_ >= 0 && ioctl(fd_, TIOCCBRK) == 0; }

  bool WaitEvent(uint32_t& mask) override {
    if (fd_ < 0 || !Drain(NowMs() + WriteBoundMs(OutputQueued(), baud_))) return false;
    mask = kEvTxEmpty;
    return true;
  }

  bool Close() override {
    if (fd_ < 0) return false;
    flock(fd_, LOCK_UN);
    int r = ::close(fd_);
    fd_ = -1;
    return r == 0;
  }

 private:
  uint32_t OutputQueued() const {
    int queued = 0;
    return ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0 ? uint32_t(queued) : 0;
  }

  // Waits until the driver has sent everything, but not past the deadline: tcdrain has no time-out,
  // so the output queue is watched, in steps of about a character's time.
  bool Drain(int64_t deadline) {
    const int64_t char_ms = 1 + 11 * 1000 / int64_t(baud_ ? baud_ : 9600);
    for (;;) {
      int queued = 0;
      if (ioctl(fd_, TIOCOUTQ, &queued) != 0) return tcdrain(fd_) == 0;  // no queue to watch
      if (queued <= 0) return true;
      const int64_t now = NowMs();
      if (now >= deadline) return false;
      const int64_t step = std::min<int64_t>(deadline - now, std::max<int64_t>(1, queued * char_ms / 2));
      timespec ts{time_t(step / 1000), long(step % 1000) * 1000000L};
      nanosleep(&ts, nullptr);
    }
  }

  // Reads what the driver holds into raw_, waiting up to wait_ms (-1: no limit) for the first byte.
  bool Fill(int wait_ms) {
    pollfd pfd{fd_, POLLIN, 0};
    int r = poll(&pfd, 1, wait_ms);
    if (r < 0) return errno == EINTR;
    if (r == 0) return true;
    if (pfd.revents & (POLLERR | POLLNVAL)) return false;
    uint8_t chunk[4096];
    ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    if (n == 0 && (pfd.revents & POLLHUP)) return false;
    raw_.insert(raw_.end(), chunk, chunk + n);
    UpdateErrorCounts();
    return true;
  }

  // Moves decoded bytes from raw_ to out. With parity checking the driver marks a byte received with
  // an error as 0xFF 0x00 byte and doubles a real 0xFF; the byte is delivered as it was received.
  uint32_t Decode(uint8_t* out, uint32_t room) {
    uint32_t n = 0;
    size_t i = 0;
    while (n < room && i < raw_.size()) {
      uint8_t b = raw_[i];
      if (!parity_marks_ || b != 0xFF) {
        out[n++] = b;
        i += 1;
        continue;
      }
      if (i + 1 >= raw_.size()) break;
      if (raw_[i + 1] == 0xFF) {
        out[n++] = 0xFF;
        i += 2;
        continue;
      }
      if (i + 2 >= raw_.size()) break;
      out[n++] = raw_[i + 2];
      if (!have_icount_) errors_ |= kCeRxParity;  // the mark cannot tell parity from framing
      i += 3;
    }
    raw_.erase(raw_.begin(), raw_.begin() + long(i));
    return n;
  }

  void UpdateErrorCounts() {
    if (!have_icount_) return;
    serial_icounter_struct now{};
    if (ioctl(fd_, TIOCGICOUNT, &now) != 0) return;
    if (now.frame != icount_.frame) errors_ |= kCeFrame;
    if (now.parity != icount_.parity) errors_ |= kCeRxParity;
    if (now.overrun != icount_.overrun) errors_ |= kCeOverrun;
    if (now.buf_overrun != icount_.buf_overrun) errors_ |= kCeRxOver;
    if (now.brk != icount_.brk) errors_ |= kCeBreak;
    icount_ = now;
  }

  int fd_;
  uint32_t baud_ = 9600;  // the data rate in force, for the write bounds
  CommTimeouts timeouts_{};
  std::vector<uint8_t> raw_;
  uint32_t errors_ = 0;
  bool parity_marks_ = false;
  bool have_icount_ = false;
  bool pty_ = false, loopback_ = false, parity_dropped_ = false;
  LoopbackLines lines_;
  serial_icounter_struct icount_{};
};

}  // namespace

std::unique_ptr<SerialDevice> OpenSystemDevice(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const bool denied = errno == EACCES;
    SetOpenFailure(path + ": " + std::strerror(errno) +
                   (denied ? " (the user may need to be in the 'dialout' group)" : ""));
    return nullptr;
  }
  // Two programs must never share a port by accident: a busy port fails like a missing one.
  const bool tty = isatty(fd);
  if (!tty || ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    SetOpenFailure(path + (tty ? ": in use by another program" : ": not a serial device"));
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<TermiosDevice>(fd);
}

}  // namespace ports
