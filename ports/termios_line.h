// Line settings of a termios device, applied through termios2 so that any data rate works.
// Kept apart because the kernel's termios2 header clashes with the C library's termios.h.
#pragma once
#include <cstdint>

namespace ports {

struct TermiosLine {
  uint32_t baud = 9600;
  uint8_t parity = 0;  // kNoParity, kOddParity, kEvenParity
  uint8_t data_bits = 8;
  bool two_stop_bits = false;
};

// Raw mode, no flow control, CLOCAL and CREAD, HUPCL off, the given line; with parity, parity
// checking with in-band marks (PARMRK) so that a character with an error still reaches the reader.
// Reads the settings back and fails when the driver did not take them.
bool ApplyTermiosLine(int fd, const TermiosLine& line);
bool ReadTermiosLine(int fd, TermiosLine& line);

}  // namespace ports
