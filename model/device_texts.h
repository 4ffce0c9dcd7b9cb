// The names of the device's words, as every program shows them: the signal sources (as a person
// reads them and as the configuration text writes them), the main state, the DIO directions and
// the named bits of the controller and device state words.
#pragma once
#include <cstdint>
#include <string>

namespace model {

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
// A source configuration byte: "negated " when bit 5 is set, then the source's name.
std::string SourceConfigText(uint32_t byte);

// The direction of DIO d from the two masks: "output", "terminated input" or "input".
const char* DIODirection(uint8_t outputs, uint8_t terminations, unsigned d);
// The same by the direction's code (2 output, 1 terminated input, 0 input).
const char* DIODirectionName(uint32_t code);

// A state word's bit by its name (as JSON and scripts name it).
struct NamedBit {
  int bit;
  const char* name;
};
extern const NamedBit kControllerBits[10];
extern const NamedBit kDeviceStateBits[12];

// The main state word, in the three places that print it: a line of its own, a field of the
// continuous display (24 columns), and the test protocol (which names 8004h "Controller disabled"
// where the status display says "Controller not ready").
enum class MainStateForm : uint8_t { kOnce, kContinuous, kProtocol };
std::string MainStateLine(uint16_t state, MainStateForm form);

}  // namespace model
