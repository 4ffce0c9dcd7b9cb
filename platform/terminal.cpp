#include "platform/terminal.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/terminal_system.h"

namespace platform {
namespace {

bool g_input_tty = false;
bool g_output_tty = false;
int g_width = 80;
// Set from signal handlers and the console's handler thread: lock-free.
std::atomic<int> g_interrupted{0};
bool g_eof = false;

// Bytes read from standard input and not yet taken.
unsigned char g_pending[256];
size_t g_pending_count = 0;

int g_row = 0;
int g_column = 0;

// A console that stands in for standard input or output.
ConsoleInput* g_input = nullptr;
ConsoleOutput* g_output = nullptr;
// Standard output carries data lines for scripts: the text for people goes to standard error.
bool g_text_to_stderr = false;

void WriteOut(const char* text, size_t n) {
  if (g_output) return g_output->Write(text, n);
  std::fwrite(text, 1, n, stdout);
  // Output nobody reads any more (a closed pipe, "| head"): the program ends as after Ctrl-C,
  // through its closing, so that the port is closed and the debug file complete.
  if (std::ferror(stdout)) NoteInterrupt(system_console::kOutputClosed);
}

void Emit(const char* text, size_t n) {
  if (!g_text_to_stderr) return WriteOut(text, n);
  std::fwrite(text, 1, n, stderr);
}

// Reads what standard input holds into g_pending, waiting up to wait_ms (-1: no limit).
void Fill(int wait_ms) {
  if (g_eof || g_pending_count == sizeof g_pending) return;
  const long n =
      g_input ? g_input->Read(g_pending + g_pending_count, sizeof g_pending - g_pending_count, wait_ms != 0)
              : system_console::Read(g_pending + g_pending_count, sizeof g_pending - g_pending_count, wait_ms,
                                     g_input_tty);
  if (n > 0) g_pending_count += size_t(n);
  if (n < 0) g_eof = true;
}

int TakeByte() {
  if (g_pending_count == 0) return -1;
  int b = g_pending[0];
  std::memmove(g_pending, g_pending + 1, --g_pending_count);
  return b;
}

int StdinByte(void*, int wait_ms) {
  if (g_pending_count == 0) Fill(wait_ms);
  return TakeByte();
}

void StdinUnread(void*, int byte) {
  if (g_pending_count == sizeof g_pending) return;
  std::memmove(g_pending + 1, g_pending, g_pending_count++);
  g_pending[0] = static_cast<unsigned char>(byte);
}

// Windows scan codes of the cursor and function keys, plain and with Shift, Ctrl and Alt.
struct KeyCodes {
  int plain, shift, ctrl, alt;
};
const KeyCodes kF[12] = {{59, 84, 94, 104},  {60, 85, 95, 105},  {61, 86, 96, 106},    {62, 87, 97, 107},
                         {63, 88, 98, 108},  {64, 89, 99, 109},  {65, 90, 100, 110},   {66, 91, 101, 111},
                         {67, 92, 102, 112}, {68, 93, 103, 113}, {133, 135, 137, 139}, {134, 136, 138, 140}};
const KeyCodes kUp{72, 72, 141, 152}, kDown{80, 80, 145, 160}, kLeft{75, 75, 115, 155},
    kRight{77, 77, 116, 157}, kHome{71, 71, 119, 151}, kEnd{79, 79, 117, 159}, kPgUp{73, 73, 132, 153},
    kPgDn{81, 81, 118, 161}, kInsert{82, 82, 146, 162}, kDelete{83, 83, 147, 163}, kCenter{76, 76, 143, 0};

int WithModifier(const KeyCodes& k, int modifier) {
  // xterm modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl)
  int bits = modifier > 1 ? modifier - 1 : 0;
  int code = (bits & 4) ? k.ctrl : (bits & 2) ? k.alt : (bits & 1) ? k.shift : k.plain;
  return kExtended + code;
}

const KeyCodes* FinalLetterKey(int c) {
  switch (c) {
    case 'A':
      return &kUp;
    case 'B':
      return &kDown;
    case 'C':
      return &kRight;
    case 'D':
      return &kLeft;
    case 'E':
      return &kCenter;
    case 'H':
      return &kHome;
    case 'F':
      return &kEnd;
    case 'P':
      return &kF[0];
    case 'Q':
      return &kF[1];
    case 'R':
      return &kF[2];
    case 'S':
      return &kF[3];
    default:
      return nullptr;
  }
}

const KeyCodes* TildeKey(int n) {
  switch (n) {
    case 1:
    case 7:
      return &kHome;
    case 2:
      return &kInsert;
    case 3:
      return &kDelete;
    case 4:
    case 8:
      return &kEnd;
    case 5:
      return &kPgUp;
    case 6:
      return &kPgDn;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return &kF[n - 11];
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return &kF[n - 12];
    case 23:
    case 24:
      return &kF[n - 13];
    default:
      return nullptr;
  }
}

constexpr int kSequenceWaitMs = 50;  // a lone Esc is told from a sequence by this pause

void Track(const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++g_row;
      g_column = 0;
    } else if (c == '\r') {
      g_column = 0;
    } else if (c == '\t') {
      g_column = (g_column / 8 + 1) * 8;
      if (g_column >= g_width) g_column = g_width - 1;
    } else if (c == 0x1B) {
      // an escape sequence of our own; it does not move the tracked cursor
    } else if ((c & 0xC0) != 0x80) {
      if (g_column >= g_width) {  // the terminal wraps before the character
        ++g_row;
        g_column = 0;
      }
      ++g_column;
    }
  }
}

}  // namespace

void UseConsoleInput(ConsoleInput* input) {
  g_input = input;
  g_pending_count = 0;
  g_eof = false;
  g_interrupted = 0;
}

void UseConsoleOutput(ConsoleOutput* output) { g_output = output; }

void SetTerminalModes(bool input_is_terminal, bool output_is_terminal, int width) {
  g_input_tty = input_is_terminal;
  g_output_tty = output_is_terminal;
  g_width = width > 0 ? width : 80;
}

bool NoteInterrupt(int signal_number) {
  int none = 0;
  return !g_interrupted.compare_exchange_strong(none, signal_number);
}

void TerminalStart() {
  const system_console::Modes modes = system_console::Start();
  g_input_tty = modes.input_is_terminal;
  g_output_tty = modes.output_is_terminal;
  g_width = modes.width > 0 ? modes.width : 80;
  std::atexit(TerminalRestore);
}

void TerminalRestore() {
  std::fflush(stdout);
  system_console::Restore();
}

bool TerminalInterrupted() { return g_interrupted != 0; }
int TerminalInterruptSignal() { return g_interrupted; }

bool KeyPending() {
  if (g_interrupted || g_pending_count > 0) return true;
  Fill(0);
  return g_pending_count > 0 || g_eof;
}

bool WaitForKey(uint32_t ms) {
  if (KeyPending()) return true;
  if (g_input || !SystemClockInUse()) {  // nothing to wait for in the system
    Sleep(ms);
    return KeyPending();
  }
  const uint64_t end = TickMs() + ms;
  for (uint64_t now = TickMs(); now < end && !g_interrupted; now = TickMs()) {
    Fill(int(end - now));
    if (g_pending_count > 0 || g_eof) return true;
  }
  return KeyPending();
}

bool InputEnded() { return g_eof && g_pending_count == 0; }

int DecodeKey(ByteSource next, ByteUnread unread, void* ctx) {
  int c = next(ctx, -1);
  if (c < 0) return kEsc;  // end of input
  if (c != 0x1B) return c;
  int c2 = next(ctx, kSequenceWaitMs);
  if (c2 < 0) return kEsc;  // a lone Esc
  if (c2 == 0x1B) {         // Esc, then the start of the next key
    unread(ctx, c2);
    return kEsc;
  }
  if (c2 != '[' && c2 != 'O') return kExtended;  // Alt with a key: one extended key, never two keys
  int c3 = next(ctx, kSequenceWaitMs);
  if (c3 < 0) return kExtended;
  if (c2 == '[' && c3 == '[') {  // the Linux console's F1 to F5
    int c4 = next(ctx, kSequenceWaitMs);
    return (c4 >= 'A' && c4 <= 'E') ? kExtended + kF[c4 - 'A'].plain : kExtended;
  }
  // Parameters: digits and ';' until the final byte.
  int params[4] = {0, 0, 0, 0};
  int count = 0;
  bool any = false;
  int guard = 0;
  while (c3 >= 0 && ((c3 >= '0' && c3 <= '9') || c3 == ';') && ++guard < 32) {
    if (c3 == ';') {
      if (count < 3) ++count;
    } else {
      if (params[count] < 100000) params[count] = params[count] * 10 + (c3 - '0');  // no key has more digits
      any = true;
    }
    c3 = next(ctx, kSequenceWaitMs);
  }
  if (c3 < 0) return kExtended;  // cut off
  int modifier = count >= 1 ? params[1] : (c2 == 'O' && any ? params[0] : 1);
  if (c3 == '~') {
    const KeyCodes* k = TildeKey(params[0]);
    return k ? WithModifier(*k, modifier) : kExtended;
  }
  const KeyCodes* k = FinalLetterKey(c3);
  return k ? WithModifier(*k, modifier) : kExtended;
}

int ReadKeyCode() {
  if (g_interrupted) return kEsc;
  return DecodeKey(StdinByte, StdinUnread, nullptr);
}

namespace {

// Drops what is left of the line, up to and including its end.
void DropRestOfLine(int last) {
  while (last >= 0 && last != '\n' && last != '\r') last = StdinByte(nullptr, g_input_tty ? 0 : -1);
}

void Echo(char c) {
  if (g_input_tty) Print("%c", c);
}

}  // namespace

bool ReadWord(char* buf, size_t size, bool echo_enter) {
  size_t n = 0;
  bool cut = false;
  if (size == 0) return false;
  buf[0] = 0;
  for (;;) {
    if (g_interrupted) return false;
    int c = StdinByte(nullptr, -1);
    if (c < 0) {
      buf[n] = 0;
      return n > 0 && !cut;
    }
    if (c == 0x1B) return false;
    if ((c == 0x7F || c == 0x08) && g_input_tty) {
      if (n > 0 && !cut) {
        --n;
        Print("\b \b");
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (n == 0 && !cut && (c == ' ' || c == '\t')) continue;  // leading blanks
      buf[n] = 0;
      if (c == ' ' || c == '\t') DropRestOfLine(c);
      if (echo_enter && n > 0) Echo('\n');
      return n > 0 && !cut;
    }
    if (n + 1 < size) {
      buf[n++] = char(c);
      Echo(char(c));
    } else {
      cut = true;  // a longer word is refused, never used cut short
    }
  }
}

bool ReadCharEcho(char& out) {
  for (;;) {
    if (g_interrupted) return false;
    int c = StdinByte(nullptr, -1);
    if (c < 0 || c == 0x1B) return false;
    if (c == '\n' || c == '\r') continue;
    out = char(c);
    Echo(out);
    // As "%c" reads: what was typed after the character answers the next questions; only the
    // line end that closes this answer is taken with it.
    const int next = StdinByte(nullptr, 0);
    if (next >= 0 && next != '\n' && next != '\r') StdinUnread(nullptr, next);
    if (next == '\r') {
      const int lf = StdinByte(nullptr, 0);
      if (lf >= 0 && lf != '\n') StdinUnread(nullptr, lf);
    }
    return true;
  }
}

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  PrintV(format, args);
  va_end(args);
}

void PrintV(const char* format, va_list args) {
  char stack[1024];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(stack, sizeof stack, format, copy);
  va_end(copy);
  if (n < 0) return;
  if (size_t(n) < sizeof stack) {
    Emit(stack, size_t(n));
    Track(stack, size_t(n));
    return;
  }
  char* heap = static_cast<char*>(std::malloc(size_t(n) + 1));
  if (!heap) return;
  std::vsnprintf(heap, size_t(n) + 1, format, args);
  Emit(heap, size_t(n));
  Track(heap, size_t(n));
  std::free(heap);
}

bool OutputIsTerminal() { return g_output_tty && !g_text_to_stderr; }

void SendTextToStandardError(bool on) {
  std::fflush(stdout);
  g_text_to_stderr = on;
}

void WriteDataLine(const std::string& line) {
  std::fflush(stderr);
  WriteOut(line.data(), line.size());
  WriteOut("\n", 1);
  if (!g_output) std::fflush(stdout);
}
void MarkRow() { g_row = 0; }
int CursorRow() { return g_row; }
int CursorColumn() { return g_column; }

void MoveCursor(int row, int column) {
  if (!OutputIsTerminal()) return;
  // A console that stands in gets the VT sequences, as a terminal does.
  if (g_output || !system_console::MoveCursor(row - g_row, column)) {
    char sequence[48];
    int n = 0;
    if (row < g_row) n += std::snprintf(sequence + n, sizeof sequence - size_t(n), "\x1b[%dA", g_row - row);
    if (row > g_row) n += std::snprintf(sequence + n, sizeof sequence - size_t(n), "\x1b[%dB", row - g_row);
    n += std::snprintf(sequence + n, sizeof sequence - size_t(n), "\x1b[%dG", column + 1);
    Emit(sequence, size_t(n));
  }
  g_row = row;
  g_column = column;
}

}  // namespace platform
