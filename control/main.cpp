// COM-KESTRAVO-Control: the console program.
#include <cstdio>

#include "control/cmdline.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  platform::TerminalStart();
  int status = control::RunProgram(argc, argv);
  std::fflush(stdout);
  platform::TerminalRestore();
  // An interrupted program has still closed its port in order; the shell learns of the signal.
  if (int sig = platform::TerminalInterruptSignal()) return 128 + sig;
  return status;
}
