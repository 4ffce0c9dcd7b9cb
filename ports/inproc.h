// In-process serial transport: a SerialDevice whose far end is a model in the same process (a
// scripted peer in tests, or the simulated device). Bytes travel with the time at which they finish
// arriving, on the platform clock, so that a reply arrives when it would on a real line (every
// character costs 11 bit times: start, 8 data, parity, stop). A byte sent with a data rate or parity
// other than the receiver's arrives garbled, with a framing or parity error.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>

#include "ports/port.h"

namespace ports {

struct LineParams {
  uint32_t baud = 9600;
  uint8_t parity = kEvenParity;
  bool operator==(const LineParams&) const = default;
};

// Duration of one character in microseconds at the given rate.
uint64_t CharTimeUs(uint32_t baud);
// The platform clock in microseconds (millisecond resolution).
uint64_t NowUs();
// What a receiver running with other line settings makes of a byte.
uint8_t GarbleByte(uint8_t value, const LineParams& sender, const LineParams& receiver);

// The PC side as the far end sees it.
class PcEnd {
 public:
  virtual ~PcEnd() = default;
  // Queues a byte that finishes arriving at the PC at at_us, sent with the given line settings;
  // errors adds line error flags to it (fault injection). Times must not decrease.
  virtual void Deliver(uint64_t at_us, uint8_t value, const LineParams& sent_with, uint32_t errors = 0) = 0;
  // Drops bytes still under way to the PC (the far end cleared its transmitter).
  virtual void DropPending(uint64_t after_us) = 0;
};

// The far end of the wire.
class InProcPeer {
 public:
  virtual ~InProcPeer() = default;
  virtual void Attach(PcEnd* pc) { pc_ = pc; }
  // A byte from the PC finishes arriving at at_us; pc is the PC's line settings at sending.
  virtual void Receive(uint64_t at_us, uint8_t value, const LineParams& pc) = 0;
  virtual void Control(uint64_t now_us, bool dtr, bool rts) = 0;
  virtual uint32_t Modem(uint64_t now_us) = 0;
  virtual void Break(uint64_t /*now_us*/, bool /*on*/) {}
  virtual void Closed(uint64_t /*now_us*/) {}

 protected:
  PcEnd* pc_ = nullptr;
};

// A serial device connected to peer. The peer is shared so that a test can keep looking at it
// after the port object has closed the device.
std::unique_ptr<SerialDevice> MakeInProcDevice(std::shared_ptr<InProcPeer> peer);

}  // namespace ports
