// The simulated device's command parser on any bytes from the PC, at any line settings.
#include <cstdint>

#include "ports/inproc.h"
#include "sim/sim.h"

namespace {

class Sink : public ports::PcEnd {
 public:
  void Deliver(uint64_t, uint8_t, const ports::LineParams&, uint32_t) override {}
  void DropPending(uint64_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Device device;
  std::string error;
  device.Init(error);
  Sink sink;
  device.Attach(&sink);
  uint64_t t = 1000000;
  device.Control(t, true, true);
  for (size_t i = 0; i < size; ++i) {
    t += 1200;
    const ports::LineParams line{device.baud(), uint8_t(i % 7 == 6 ? ports::kNoParity : ports::kEvenParity)};
    if (data[i] == 0x01) {
      device.Control(t, true, (i & 1) != 0);  // RTS toggled now and then
      continue;
    }
    device.Receive(t, data[i], line);
  }
  device.Modem(t);
  return 0;
}
