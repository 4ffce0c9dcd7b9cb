// A far end for the in-process transport that tests script: which bytes it answers and when, how
// its status lines follow the PC's control lines, and which line errors occur. It records every
// byte and every control-line change the PC made.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ports/inproc.h"

namespace testing_support {

class ScriptedPeer : public ports::InProcPeer {
 public:
  // Status lines. CTS follows RTS after cts_delay_ms unless forced.
  bool dsr = true;
  bool dcd = true;
  bool ri = false;
  enum class Cts { kFollowRts, kOn, kOff } cts = Cts::kFollowRts;
  uint32_t cts_delay_ms = 2;

  // The reply to a frame (the letter and data, without the carriage return): the responder when
  // set, otherwise the next canned reply (none left: no answer). Replies are sent as given, so a
  // test writes the carriage return itself.
  std::function<std::string(const std::string& frame)> responder;
  std::deque<std::string> replies;
  uint32_t reply_delay_ms = 1;
  uint32_t reply_errors = 0;  // line error flags on every reply byte
  uint32_t reply_baud = 0;    // 0: the PC's rate at the time of the command

  // What the PC did.
  std::string received;
  std::vector<std::string> frames;
  std::vector<std::string> events;  // "RTS=0", "DTR=1", "BREAK=1", "CLOSED"
  bool dtr = false;
  bool rts = false;

  // Sends bytes to the PC right away (at the current time plus the reply delay).
  void Send(const std::string& bytes, uint32_t errors = 0, uint32_t baud = 9600);

  void Receive(uint64_t at_us, uint8_t value, const ports::LineParams& pc) override;
  void Control(uint64_t now_us, bool dtr, bool rts) override;
  uint32_t Modem(uint64_t now_us) override;
  void Break(uint64_t now_us, bool on) override;
  void Closed(uint64_t now_us) override;

 private:
  void SendAt(uint64_t at_us, const std::string& bytes, uint32_t errors, const ports::LineParams& line);
  std::string pending_;
  uint64_t rts_changed_us_ = 0;
  uint64_t free_us_ = 0;
};

}  // namespace testing_support
