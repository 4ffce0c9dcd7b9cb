// Program start: the command line, its switches, the usage output and the exit status.
#pragma once
#include <cstdint>

namespace control {

// The whole program: the terminal set up, the arguments run, the terminal restored; the exit status
// (128 plus the signal's number after Ctrl-C, SIGTERM, SIGHUP or a closed output).
int Main(int argc, char** argv);

// Runs the program on its arguments; returns the exit status (0, or -1 after the usage output).
int RunProgram(int argc, char** argv);

// The COM number of the first argument: false when it is none (no digits, a minus sign, or more
// than 32 bits).
bool ScanComNumber(const char* text, uint32_t& out);

// The program name as the usage output shows it: after the last '/' or '\', up to the first '.'.
const char* ProgramName(const char* path, char* buffer, unsigned size);

}  // namespace control
