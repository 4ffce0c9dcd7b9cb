// The number grammar of the programs' switches, prompts and configuration files: decimal digits,
// or hexadecimal with an 'h' and binary with a 'b' after them, within 32 bits.
#pragma once
#include <cstdint>

namespace model {

// The results of ParseUnsigned.
enum ParseResult : int {
  kNumberParsed = 0,    // the value is set
  kNumberEmpty = -1,    // an empty text
  kNumberInvalid = -2,  // not a number of the radix its suffix names ('h' hexadecimal, 'b' binary,
                        // none decimal), or not within 32 bits
};
int ParseUnsigned(const char* text, uint32_t& value);

}  // namespace model
