// The simulated device: the pulse generator as the PC sees it on its serial line. It plugs into
// the in-process transport and is reached through the COM mapping KESTRAVO_COM<n>=sim (a fresh
// device) or KESTRAVO_COM<n>=sim:<file> (its non-volatile state kept in that file).
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "COM-KESTRAVO.h"
#include "ports/inproc.h"

namespace sim {

constexpr int kBlockSize = COM_KESTRAVO_CONFIG_SIZE;
constexpr int kNameSize = COM_KESTRAVO_NAME_SIZE;
constexpr int kStoredConfigs = COM_KESTRAVO_CONFIG_COUNT;
constexpr int kMemorySize = COM_KESTRAVO_MEMORY_SIZE;
constexpr uint32_t kMaxMemoryBlock = COM_KESTRAVO_MEMORY_BLOCK_MAX;

using Block = std::array<uint8_t, kBlockSize>;

// Faults to inject, for tests and for anyone who wants to watch the library recover. The counters
// apply to that many of the next replies. From the environment: KESTRAVO_SIM_FAULTS, a comma list of
// name=value with the names below (off=1, cts=low|high, slow=ms, drop=n, garble=n, extra=n, nocr=n,
// silent=n, ignorebaud=1, steady=1, interlock=ms).
struct Faults {
  bool off = false;                 // switched off: DSR and DCD low, nothing answered
  int cts = -1;                     // -1 normal, 0 kept low, 1 kept high whatever RTS does
  uint32_t slow_ms = 0;             // extra time before each reply
  uint32_t drop = 0;                // replies that lose their last data character
  uint32_t garble = 0;              // replies whose echo letter arrives garbled
  uint32_t extra = 0;               // replies with one character too many
  uint32_t nocr = 0;                // replies without their carriage return
  uint32_t silent = 0;              // commands not answered at all
  bool ignore_baud_change = false;  // answers a data-rate change but keeps its rate
  bool steady = false;              // readings stay the same from one reading to the next
  uint32_t interlock_ms = 0;        // the safety interlock opens this long after the start (0: never)
  bool high_bytes = false;          // the product identification holds bytes of 80h and above
};
bool ParseFaults(const std::string& text, Faults& faults);

// Everything the device keeps across a restart and a power cycle.
struct NonVolatile {
  std::array<Block, kStoredConfigs> blocks{};
  std::array<std::array<uint8_t, kNameSize>, kStoredConfigs> names{};
  std::array<uint8_t, kStoredConfigs> flags{};  // bit 0 Active, bit 1 Valid
  std::array<uint8_t, kMemorySize> memory{};
  uint32_t total_up_s = 0;
  uint32_t total_op_s = 0;
};
// Reads the state file. A missing file gives a fresh state (true); a corrupt or truncated one
// fails with the reason in error, and the file is left as it is.
bool LoadNonVolatile(const std::string& path, NonVolatile& nv, std::string& error);
// Writes a new file beside the old one and renames it over, so an interrupted write loses nothing.
bool SaveNonVolatile(const std::string& path, const NonVolatile& nv);

Block DefaultBlock();

class Device : public ports::InProcPeer {
 public:
  explicit Device(std::string state_file = "");

  // Loads the state file; false with a message when it is unusable.
  bool Init(std::string& error);

  void Receive(uint64_t at_us, uint8_t value, const ports::LineParams& pc) override;
  void Control(uint64_t now_us, bool dtr, bool rts) override;
  uint32_t Modem(uint64_t now_us) override;

  Faults faults;
  uint32_t baud() const { return baud_; }
  const Block& current() const { return current_; }
  const NonVolatile& nv() const { return nv_; }
  // Commands answered so far.
  uint64_t commands() const { return commands_; }
  // Characters that crossed the line so far, both ways.
  uint64_t characters() const { return characters_; }

 private:
  friend struct Commands;
  uint8_t Flags() const { return current_[COM_KESTRAVO_CFG_FLAGS]; }
  void Execute(uint64_t at_us);
  std::string Answer(char letter, const std::string& data, uint64_t at_us);
  void SendReply(uint64_t at_us, const std::string& reply);
  void SetCts(uint64_t at_us, bool on);
  bool CtsAt(uint64_t now_us) const;
  void ResetLink(uint64_t at_us);
  void Restart(uint64_t at_us);
  void Persist();
  void Tick(uint64_t at_us);
  uint32_t Jitter(uint32_t span);

  std::string state_file_;
  NonVolatile nv_;
  Block current_;
  std::array<uint8_t, kMemorySize> working_{};  // memory data written but not yet taken over
  uint32_t baud_ = 9600;
  std::string rx_;
  bool rx_bad_ = false;
  bool rts_ = false;
  std::vector<std::pair<uint64_t, bool>> cts_;  // CTS changes in time order
  uint64_t reply_free_us_ = 0;                  // when the device's transmitter is free again
  uint64_t start_us_ = 0;
  uint64_t last_tick_us_ = 0;
  uint64_t op_us_ = 0;  // operating time since start (device enabled)
  uint64_t commands_ = 0;
  uint64_t characters_ = 0;
  uint32_t random_ = 12345;
};

}  // namespace sim
