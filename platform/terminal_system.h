// What the console needs of the operating system, one implementation per system
// (terminal_posix.cpp: termios, poll and VT sequences; terminal_win32.cpp: the console API).
#pragma once
#include <cstddef>

namespace platform {
namespace system_console {

struct Modes {
  bool input_is_terminal = false;
  bool output_is_terminal = false;
  int width = 80;
};
// Switches a terminal input to single keys without echo and installs the handlers of Ctrl-C and
// the requests to end, which call NoteInterrupt.
Modes Start();
// Gives the terminal its modes back; callable from a signal handler.
void Restore();
// Waits up to wait_ms (-1: without limit) for standard input and takes what is there, at most room
// bytes (from a terminal), else one byte: the count, 0 when nothing came, -1 at the end of input.
long Read(unsigned char* buffer, size_t room, int wait_ms, bool input_is_terminal);
// Moves the cursor of a terminal output by rows (up when negative) to column (from 0) through the
// system's console; false when the terminal takes VT sequences for it instead.
bool MoveCursor(int rows, int column);

// The number an ending through a closed output reports (as SIGPIPE), on every system.
constexpr int kOutputClosed = 13;

}  // namespace system_console

// Called by the system's handlers when Ctrl-C or a request to end arrived; true when one had
// arrived already (the second one ends the program at once).
bool NoteInterrupt(int signal_number);

}  // namespace platform
