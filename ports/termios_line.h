// Line settings of a termios device, applied through termios2 so that any data rate works.
// Kept apart because the kernel's termios2 header clashes with the C library's termios.h.
#pragma once
#include <cstdint>

#include "ports/port.h"

namespace ports {

// Raw mode, no flow control, CLOCAL and CREAD, HUPCL off, the given line; with parity, parity
// checking with in-band marks (PARMRK) so that a character with an error still reaches the reader.
// Reads the settings back and fails when the driver did not take them.
bool ApplyTermiosLine(int fd, const PortConfig& line);
bool ReadTermiosLine(int fd, PortConfig& line);

// The c_cflag bits of the character size, the parity and the stop bits, and back (the rate and
// the rest of the line kept).
uint32_t TermiosLineBits(const PortConfig& line);
void FromTermiosLineBits(uint32_t cflag, PortConfig& line);

}  // namespace ports
