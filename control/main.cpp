// COM-KESTRAVO-Control: the console program.
#include <cstdio>

#include "control/cmdline.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  platform::TerminalStart();
  int status = control::RunProgram(argc, argv);
  std::fflush(stdout);
  platform::TerminalRestore();
  return status;
}
