// The simulated device served on a pseudo-terminal at line timing: what a program writes to the
// slave side reaches the device as if it came over the line, and the device's replies are written
// back when their characters would have arrived. A pseudo-terminal carries no modem lines: the
// program's port sees those of a null-modem loopback, and the device keeps its lines up.
#include "sim/pty_server.h"

#include <algorithm>
#include <deque>

#include "platform/clock.h"
#include "platform/pty.h"
#include "ports/inproc.h"

namespace sim {
namespace {

// The program's end of the line, as the device delivers to it.
class PtyEnd : public ports::PcEnd {
 public:
  void Deliver(uint64_t at_us, uint8_t value, const ports::LineParams&, uint32_t) override {
    out_.push_back({at_us, value});
  }
  void DropPending(uint64_t after_us) override {
    while (!out_.empty() && out_.back().at_us > after_us) out_.pop_back();
  }
  // The bytes due by now, and the time of the next one (0: none).
  std::string Due(uint64_t now_us, uint64_t& next_us) {
    std::string due;
    while (!out_.empty() && out_.front().at_us <= now_us) {
      due += char(out_.front().value);
      out_.pop_front();
    }
    next_us = out_.empty() ? 0 : out_.front().at_us;
    return due;
  }

 private:
  struct Out {
    uint64_t at_us;
    uint8_t value;
  };
  std::deque<Out> out_;
};

}  // namespace

int ServeOnPty(Device& device, const std::function<void(const std::string&)>& ready,
               const volatile std::sig_atomic_t& stop) {
  platform::PtyMaster pty;
  std::string why;
  if (!pty.Open(why)) {
    std::fprintf(stderr, "COM-KESTRAVO-Sim: %s\n", why.c_str());
    return 1;
  }
  PtyEnd end;
  device.Attach(&end);
  device.Control(ports::NowUs(), true, true);
  ready(pty.path());
  uint8_t buffer[4096];
  while (!stop) {
    uint64_t next_us = 0;
    const std::string due = end.Due(ports::NowUs(), next_us);
    if (!due.empty() && !pty.Write(reinterpret_cast<const uint8_t*>(due.data()), due.size())) return 1;
    const uint64_t now = ports::NowUs();
    const int wait_ms =
        next_us ? int(std::min<uint64_t>((next_us > now ? next_us - now : 0) / 1000, 200)) : 200;
    size_t got = 0;
    if (!pty.Read(buffer, sizeof buffer, wait_ms, got)) return 1;
    // The bytes finish arriving now, at the rate the device runs at: a pseudo-terminal has none.
    const ports::LineParams line{device.baud(), ports::kEvenParity};
    for (size_t i = 0; i < got; ++i) device.Receive(ports::NowUs(), buffer[i], line);
  }
  return 0;
}

}  // namespace sim
