// The console on Linux: termios on standard input, poll(), VT cursor sequences on standard output.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/terminal_system.h"

namespace platform {
namespace system_console {
namespace {

bool g_raw = false;
termios g_saved{};

void OnSignal(int sig) {
  Restore();
  if (NoteInterrupt(sig)) {  // a second time: leave at once
    signal(sig, SIG_DFL);
    raise(sig);
  }
}

}  // namespace

Modes Start() {
  Modes modes;
  modes.input_is_terminal = isatty(STDIN_FILENO);
  // A terminal that cannot move its cursor (TERM unset or "dumb": an editor's shell buffer, a
  // serial console) gets the output a pipe gets: lines, no cursor sequences.
  const char* term = std::getenv("TERM");
  modes.output_is_terminal = isatty(STDOUT_FILENO) && term && *term && std::strcmp(term, "dumb") != 0;
  winsize ws{};
  if (modes.output_is_terminal && ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
    modes.width = ws.ws_col;
  if (modes.input_is_terminal && tcgetattr(STDIN_FILENO, &g_saved) == 0) {
    termios raw = g_saved;
    raw.c_lflag &= ~tcflag_t(ICANON | ECHO | ECHONL | IEXTEN);  // ISIG stays: Ctrl-C still interrupts
    raw.c_iflag &= ~tcflag_t(ICRNL | IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) g_raw = true;  // TCSANOW keeps typed-ahead keys
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);  // a failed write is noticed instead
  signal(SIGXFSZ, SIG_IGN);  // a file-size limit is a failed write, reported like a full disk
  return modes;
}

void Restore() {
  if (g_raw) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
}

long Read(unsigned char* buffer, size_t room, int wait_ms, bool input_is_terminal) {
  pollfd pfd{STDIN_FILENO, POLLIN, 0};
  if (poll(&pfd, 1, wait_ms) <= 0) return 0;
  const ssize_t n = read(STDIN_FILENO, buffer, input_is_terminal ? room : 1);
  if (n > 0) return long(n);
  return (n == 0 || (errno != EINTR && errno != EAGAIN)) ? -1 : 0;
}

bool MoveCursor(int, int) { return false; }  // VT sequences

}  // namespace system_console
}  // namespace platform
