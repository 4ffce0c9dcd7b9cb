// The console on Windows: key events from ReadConsoleInputA, the cursor through
// SetConsoleCursorPosition, Ctrl-C through SetConsoleCtrlHandler. Standard input that is a pipe or a
// file is read byte by byte, as on Linux.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/terminal.h"
#include "platform/terminal_system.h"

namespace platform {
namespace system_console {
namespace {

HANDLE g_in = INVALID_HANDLE_VALUE;
DWORD g_saved_mode = 0;
UINT g_saved_input_cp = 0, g_saved_output_cp = 0;  // the console's code pages before the program
bool g_console_in = false;

BOOL WINAPI OnControl(DWORD event) {
  int sig = SIGINT;
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) sig = SIGTERM;
  Restore();
  // A second Ctrl-C: the system's handler ends the program at once.
  return NoteInterrupt(sig) ? FALSE : TRUE;
}

// The cursor and function keys as the VT sequences of a Linux terminal, so that one decoder reads
// both. A modifier parameter follows xterm's: 1 + (1 Shift, 2 Alt, 4 Ctrl).
struct VirtualKey {
  WORD vk;
  const char* plain;  // the sequence; "%d" stands for the modifier parameter where one goes
  const char* modified;
};
const VirtualKey kKeys[] = {
    {VK_UP, "\x1b[A", "\x1b[1;%dA"},      {VK_DOWN, "\x1b[B", "\x1b[1;%dB"},
    {VK_RIGHT, "\x1b[C", "\x1b[1;%dC"},   {VK_LEFT, "\x1b[D", "\x1b[1;%dD"},
    {VK_CLEAR, "\x1b[E", "\x1b[1;%dE"},   {VK_HOME, "\x1b[H", "\x1b[1;%dH"},
    {VK_END, "\x1b[F", "\x1b[1;%dF"},     {VK_INSERT, "\x1b[2~", "\x1b[2;%d~"},
    {VK_DELETE, "\x1b[3~", "\x1b[3;%d~"}, {VK_PRIOR, "\x1b[5~", "\x1b[5;%d~"},
    {VK_NEXT, "\x1b[6~", "\x1b[6;%d~"},   {VK_F1, "\x1bOP", "\x1b[1;%dP"},
    {VK_F2, "\x1bOQ", "\x1b[1;%dQ"},      {VK_F3, "\x1bOR", "\x1b[1;%dR"},
    {VK_F4, "\x1bOS", "\x1b[1;%dS"},      {VK_F5, "\x1b[15~", "\x1b[15;%d~"},
    {VK_F6, "\x1b[17~", "\x1b[17;%d~"},   {VK_F7, "\x1b[18~", "\x1b[18;%d~"},
    {VK_F8, "\x1b[19~", "\x1b[19;%d~"},   {VK_F9, "\x1b[20~", "\x1b[20;%d~"},
    {VK_F10, "\x1b[21~", "\x1b[21;%d~"},  {VK_F11, "\x1b[23~", "\x1b[23;%d~"},
    {VK_F12, "\x1b[24~", "\x1b[24;%d~"},
};

// The bytes of one key event, into out (room for 16); their count.
size_t KeyBytes(const KEY_EVENT_RECORD& key, char* out) {
  if (!key.bKeyDown) return 0;
  const DWORD state = key.dwControlKeyState;
  for (const VirtualKey& k : kKeys) {
    if (k.vk != key.wVirtualKeyCode) continue;
    const int modifier = 1 + ((state & SHIFT_PRESSED) ? 1 : 0) +
                         ((state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) ? 2 : 0) +
                         ((state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) ? 4 : 0);
    const int n =
        modifier == 1 ? std::snprintf(out, 16, "%s", k.plain) : std::snprintf(out, 16, k.modified, modifier);
    return n > 0 ? size_t(n) : 0;
  }
  char c = key.uChar.AsciiChar;
  // Some consoles (Wine's on a terminal) give these keys without their character.
  if (c == 0 && key.wVirtualKeyCode == VK_ESCAPE) c = 27;
  if (c == 0 && key.wVirtualKeyCode == VK_RETURN) c = '\r';
  if (c == 0 && key.wVirtualKeyCode == VK_BACK) c = 8;
  if (c == 0 && key.wVirtualKeyCode == VK_TAB) c = '\t';
  if (c == 0) return 0;  // Shift, Ctrl and the like alone
  out[0] = c;
  return 1;
}

long ReadConsoleKeys(unsigned char* buffer, size_t room, int wait_ms) {
  const ULONGLONG end = GetTickCount64() + ULONGLONG(wait_ms < 0 ? 0 : wait_ms);
  for (;;) {
    // Events are counted before they are read: a console's handle may stay signalled with none
    // waiting (Wine's does), and a read would then block until the next key.
    DWORD waiting = 0;
    if (!GetNumberOfConsoleInputEvents(g_in, &waiting)) return -1;
    if (waiting == 0) {
      if (TerminalInterrupted() || (wait_ms >= 0 && GetTickCount64() >= end)) return 0;
      WaitForSingleObject(g_in, 5);
      ::Sleep(1);
      continue;
    }
    INPUT_RECORD records[16];
    DWORD count = 0;
    if (!ReadConsoleInputA(g_in, records, waiting < 16 ? waiting : 16, &count)) return -1;
    size_t got = 0;
    for (DWORD i = 0; i < count; ++i) {
      if (records[i].EventType != KEY_EVENT) continue;
      const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
      char bytes[16];
      const size_t n = KeyBytes(key, bytes);
      for (WORD r = 0; r < (key.wRepeatCount ? key.wRepeatCount : 1); ++r)
        for (size_t b = 0; b < n && got < room; ++b) buffer[got++] = static_cast<unsigned char>(bytes[b]);
    }
    if (got > 0 || wait_ms == 0) return long(got);
  }
}

// Standard input that is no console (a pipe, a file) is read by a thread of its own into a queue
// that the program waits on with a time-out: Windows has no poll() for pipes, and Wine cannot peek
// into them. The thread starts with the console, and takes what a pipe holds in one read, so that
// keys written together are there together, as on Linux.
struct StreamReader {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<unsigned char> bytes;
  bool ended = false;
  bool blocked = false;  // in a read that found nothing yet
};

StreamReader& Reader() {
  static StreamReader* const reader = [] {
    auto* r = new StreamReader;
    std::thread([r] {
      for (;;) {
        unsigned char chunk[4096];
        DWORD n = 0;
        {
          const std::lock_guard<std::mutex> hold(r->lock);
          r->blocked = true;
          r->changed.notify_all();
        }
        const bool ok = ReadFile(g_in, chunk, sizeof chunk, &n, nullptr) && n > 0;
        const std::lock_guard<std::mutex> hold(r->lock);
        r->blocked = false;
        if (ok)
          r->bytes.insert(r->bytes.end(), chunk, chunk + n);
        else
          r->ended = true;
        r->changed.notify_all();
        if (!ok) return;
      }
    }).detach();
    return r;
  }();
  return *reader;
}

long ReadStream(unsigned char* buffer, int wait_ms) {
  StreamReader& r = Reader();
  std::unique_lock<std::mutex> hold(r.lock);
  // A look without waiting still lets the thread reach its read, and a read of what is there return.
  if (wait_ms == 0 && r.bytes.empty() && !r.ended) {
    r.changed.wait_for(hold, std::chrono::milliseconds(100), [&r] { return r.blocked || r.ended; });
    hold.unlock();
    ::Sleep(1);
    hold.lock();
  }
  const auto ready = [&r] { return !r.bytes.empty() || r.ended || TerminalInterrupted(); };
  // In slices, so that a Ctrl-C (handled on another thread) ends the wait.
  const ULONGLONG end = GetTickCount64() + ULONGLONG(wait_ms < 0 ? 0 : wait_ms);
  while (!ready()) {
    if (wait_ms >= 0 && GetTickCount64() >= end) break;
    r.changed.wait_for(hold, std::chrono::milliseconds(
                                 wait_ms < 0 ? 100 : std::min<ULONGLONG>(100, end - GetTickCount64() + 1)));
  }
  if (!r.bytes.empty()) {
    buffer[0] = r.bytes.front();
    r.bytes.pop_front();
    return 1;
  }
  return r.ended ? -1 : 0;
}

}  // namespace

Modes Start() {
  Modes modes;
  g_in = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  g_console_in = GetConsoleMode(g_in, &g_saved_mode) != 0;
  modes.input_is_terminal = g_console_in;
  // Words typed at a prompt (file names) are opened with the ANSI file functions, and the names the
  // program prints come from there: the console reads and shows the ANSI code page while the
  // program runs (not the OEM one, in which "ä" would open a file named with "„"). Restored at the
  // end, since the console keeps its code pages after the program.
  g_saved_input_cp = GetConsoleCP();
  g_saved_output_cp = GetConsoleOutputCP();
  if (g_console_in && g_saved_input_cp != GetACP()) SetConsoleCP(GetACP());
  if (g_console_in)  // single keys without echo; Ctrl-C stays a signal
    SetConsoleMode(g_in,
                   (g_saved_mode & ~DWORD(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) | ENABLE_PROCESSED_INPUT);
  CONSOLE_SCREEN_BUFFER_INFO info;
  modes.output_is_terminal = GetConsoleMode(out, &mode) != 0;
  if (modes.output_is_terminal && g_saved_output_cp != GetACP()) SetConsoleOutputCP(GetACP());
  if (modes.output_is_terminal && GetConsoleScreenBufferInfo(out, &info))
    modes.width = info.srWindow.Right - info.srWindow.Left + 1;
  SetConsoleCtrlHandler(OnControl, TRUE);
  if (!g_console_in) Reader();  // input that is no console is read from the start
  return modes;
}

void Restore() {
  if (g_console_in) SetConsoleMode(g_in, g_saved_mode);
  if (g_saved_input_cp && GetConsoleCP() != g_saved_input_cp) SetConsoleCP(g_saved_input_cp);
  if (g_saved_output_cp && GetConsoleOutputCP() != g_saved_output_cp) SetConsoleOutputCP(g_saved_output_cp);
}

long Read(unsigned char* buffer, size_t room, int wait_ms, bool input_is_terminal) {
  if (g_in == INVALID_HANDLE_VALUE || g_in == nullptr) return -1;
  return input_is_terminal && g_console_in ? ReadConsoleKeys(buffer, room, wait_ms)
                                           : ReadStream(buffer, wait_ms);
}

bool MoveCursor(int rows, int column) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  std::fflush(stdout);
  if (!GetConsoleScreenBufferInfo(out, &info)) return false;
  COORD at{SHORT(column), SHORT(info.dwCursorPosition.Y + rows)};
  if (at.Y < 0) at.Y = 0;
  return SetConsoleCursorPosition(out, at) != 0;
}

}  // namespace system_console
}  // namespace platform
