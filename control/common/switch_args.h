// The switch grammar every family uses: the cursor over the command line that a switch handler
// works on, the number forms a switch takes, and the indexed rows (-P2D1000, -R1t).
#pragma once
#include <cstddef>
#include <cstdint>

namespace control {

// The cursor over the command line that a switch handler works on.
struct SwitchArgs {
  int argc = 0;
  char** argv = nullptr;
  int index = 0;          // the switch's argument; moves on when a following argument is taken
  int typed = 0;          // the switch letter as written
  const char* rest = "";  // the characters after the letter
  bool small() const;     // the letter was written small

  // The following argument, or null when there is none (the parse then fails at argc).
  const char* Next();
};

// Parse status of a switch: 0 when it parsed, else the index of the argument that failed.
constexpr int kParsed = 0;
using SwitchHandler = int (*)(SwitchArgs&);

// "%hu": decimal digits after optional blanks and sign; what follows is ignored.
bool ScanUnsignedShort(const char* text, uint16_t& out);
// The number filling the text to its end (ParseUnsigned: decimal, 'h' or 'b' suffix).
bool SwitchNumber(const char* text, uint32_t& value);
// An index digit at text[0] from '0' to highest; -1 when it is none.
int IndexDigit(const char* text, char highest);

// A row that takes no further characters: opens the port, runs, and then fails the parse when
// characters follow the letter.
int RunWithoutCharacters(SwitchArgs& a, void (*run)());

}  // namespace control
