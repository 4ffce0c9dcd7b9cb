// The console as the control program needs it: single keys without echo and without Enter,
// a key-pending test, echoed input of one word or one character, and output whose cursor
// position is tracked so that values can be redrawn in place. On Linux: termios on standard
// input, poll(), and VT cursor sequences on standard output when it is a terminal.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Key codes: an ordinary key is its character (0 to 255), Esc is 27; a cursor or function key is
// 256 plus the scan code the Windows console gives it (Up 256+72, F1 256+59, F11 256+133, ...).
constexpr int kEsc = 27;
constexpr int kExtended = 256;

// Switches standard input to single keys (when it is a terminal) and arranges for the terminal to
// be restored on every way out: normal end, Ctrl-C, SIGTERM, SIGHUP.
void TerminalStart();
void TerminalRestore();

// True once Ctrl-C, SIGTERM or SIGHUP arrived; waits for keys then end as at end of input.
bool TerminalInterrupted();
// The signal that interrupted the program, or 0.
int TerminalInterruptSignal();

// A key is waiting (end of input and an interruption count as a waiting Esc). Does not consume it.
bool KeyPending();
// End of input reached and every byte before it taken.
bool InputEnded();
// The next key, waiting for it. End of input gives Esc.
int ReadKeyCode();
// Waits up to ms milliseconds for a key (without taking it); true when one is waiting. Sleeps in
// the system until a key arrives or the time is up, instead of polling.
bool WaitForKey(uint32_t ms);

// Reads one word delimited by white space, with echo when standard input is a terminal, into buf.
// The rest of the typed line, up to and including its Enter, is dropped, so that it can never run
// as commands. False at end of input, Esc, an empty line, or a word longer than size - 1
// characters (a word cut short would name another file or another number).
// echo_enter: echo the end of the line too (line input, where a terminal would echo the Enter).
bool ReadWord(char* buf, size_t size, bool echo_enter = false);
// Reads one character with echo; the rest of the line is dropped. False at end of input or Esc.
bool ReadCharEcho(char& c);

// Decodes one key from a byte source: next(wait_ms) returns the next byte, or -1 when none
// arrives within wait_ms (0: only what is already there). Used by ReadKeyCode; open for tests.
// unread(byte) gives a byte back, to be returned by the next call of next.
using ByteSource = int (*)(void* context, int wait_ms);
using ByteUnread = void (*)(void* context, int byte);
int DecodeKey(ByteSource next, ByteUnread unread, void* context);

// Output. Everything the program prints goes through here, so that the cursor is known.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void PrintV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
bool OutputIsTerminal();
// Data lines for scripts (JSON Lines): while SendTextToStandardError(true) holds, standard output
// carries only the lines WriteDataLine writes, each flushed at once, and what Print shows goes to
// standard error (and is no terminal's: no cursor sequences).
void SendTextToStandardError(bool on);
void WriteDataLine(const std::string& line);
// The position of the cursor: row counted from an anchor set with MarkRow, column from 0.
void MarkRow();
int CursorRow();
int CursorColumn();
// Moves the cursor to (row, column) relative to the anchor (terminal output only).
void MoveCursor(int row, int column);
// Overrides what the terminal checks found (a console that stands in for the terminal).
void SetTerminalModes(bool input_is_terminal, bool output_is_terminal, int width);

// Another console in place of standard input or output (the console program's tests type their
// keys and read what was printed through one). The stream must outlive its use; null: standard
// input or output again.
class ConsoleInput {
 public:
  virtual ~ConsoleInput() = default;
  // Takes typed bytes into buffer, at most room: their count, 0 when none are there yet, -1 at the
  // end of input. waiting: the program waits for input, rather than only looking for it.
  virtual long Read(unsigned char* buffer, size_t room, bool waiting) = 0;
};
class ConsoleOutput {
 public:
  virtual ~ConsoleOutput() = default;
  virtual void Write(const char* text, size_t n) = 0;
};
// Installing an input drops what was typed and not taken, and forgets an end of input and an
// interruption.
void UseConsoleInput(ConsoleInput* input);
void UseConsoleOutput(ConsoleOutput* output);

}  // namespace platform
