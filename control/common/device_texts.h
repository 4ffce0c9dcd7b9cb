// The names of the device's words that more than one family prints: the signal sources (as a
// person reads them and as the configuration text writes them) and the main state.
#pragma once
#include <cstdint>
#include <string>

namespace control {

// A signal source index (bits 0 to 4 of a source byte; bit 5 negates).
struct SourceText {
  const char* name;   // as the settings show it: "pulser 1 output"
  const char* token;  // as the configuration text writes it: "PulsOut0"
};
// Pulser, burst and switch sources take the first 18, DIO outputs all 20.
constexpr unsigned kSignalSources = 18, kDIOSources = 20;
extern const SourceText kSourceTexts[kDIOSources];

// The display name of a source index, "undefined" past the table.
const char* SourceName(unsigned index);

// The main state word, in the three places that print it: a line of its own, a field of the
// continuous display (24 columns), and the test protocol (which names 8004h "Controller disabled"
// where the status display says "Controller not ready").
enum class MainStateForm : uint8_t { kOnce, kContinuous, kProtocol };
std::string MainStateLine(uint16_t state, MainStateForm form);

}  // namespace control
