#include "tests/support/scripted_peer.h"

#include <algorithm>

namespace testing_support {

void ScriptedPeer::SendAt(uint64_t at_us, const std::string& bytes, uint32_t errors,
                          const ports::LineParams& line) {
  uint64_t start = std::max(at_us, free_us_);
  uint64_t char_us = ports::CharTimeUs(line.baud);
  for (size_t i = 0; i < bytes.size(); ++i)
    if (pc_) pc_->Deliver(start + (i + 1) * char_us, uint8_t(bytes[i]), line, errors);
  free_us_ = start + bytes.size() * char_us;
}

void ScriptedPeer::Send(const std::string& bytes, uint32_t errors, uint32_t baud) {
  SendAt(ports::NowUs() + reply_delay_ms * 1000ull, bytes, errors, {baud, ports::kEvenParity});
}

void ScriptedPeer::Receive(uint64_t at_us, uint8_t value, const ports::LineParams& pc) {
  received += char(value);
  if (value != 0x0D) {
    pending_ += char(value);
    return;
  }
  std::string frame;
  frame.swap(pending_);
  frames.push_back(frame);
  std::string reply;
  if (responder) {
    reply = responder(frame);
  } else if (!replies.empty()) {
    reply = replies.front();
    replies.pop_front();
  }
  ports::LineParams line{reply_baud ? reply_baud : pc.baud, ports::kEvenParity};
  SendAt(at_us + reply_delay_ms * 1000ull, reply, reply_errors, line);
}

void ScriptedPeer::Control(uint64_t now_us, bool d, bool r) {
  if (d != dtr) events.push_back(d ? "DTR=1" : "DTR=0");
  if (r != rts) {
    events.push_back(r ? "RTS=1" : "RTS=0");
    rts_changed_us_ = now_us;
  }
  dtr = d;
  rts = r;
}

uint32_t ScriptedPeer::Modem(uint64_t now_us) {
  bool c = false;
  switch (cts) {
    case Cts::kOn:
      c = true;
      break;
    case Cts::kOff:
      c = false;
      break;
    case Cts::kFollowRts:
      c = (now_us - rts_changed_us_ >= cts_delay_ms * 1000ull) ? rts : !rts;
      break;
  }
  return (c ? ports::kMsCtsOn : 0) | (dsr ? ports::kMsDsrOn : 0) | (ri ? ports::kMsRingOn : 0) |
         (dcd ? ports::kMsRlsdOn : 0);
}

void ScriptedPeer::Break(uint64_t, bool on) { events.push_back(on ? "BREAK=1" : "BREAK=0"); }
void ScriptedPeer::Closed(uint64_t) { events.push_back("CLOSED"); }

}  // namespace testing_support
