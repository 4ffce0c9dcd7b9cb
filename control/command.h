// The command model of the console program: one table of switch rows for the command line and
// one of key rows for the key loop. Each row gives what the small and the capital letter do; a
// form without its own handler falls back to the status and monitoring commands, which switches
// and keys share (monitor/commands.cpp).
#pragma once
#include "control/common/switch_args.h"

namespace control {

// A switch row. A handler parses the rest of its switch (and may take the following arguments),
// opens the port, runs its routine and returns the parse status.
struct SwitchRow {
  char letter;  // upper case, or the sign itself
  SwitchHandler small;
  SwitchHandler capital;
};

// The handler of a switch letter as typed, or null when the switch does not exist.
SwitchHandler FindSwitch(int typed);
// Runs the switch at argv[i]; returns the parse status. i moves past any argument it took.
int RunSwitch(int argc, char** argv, int& i);

// A key row. Keys without a letter ('?', '$', '@', '!') use the small form.
using KeyHandler = void (*)();
struct KeyRow {
  int key;  // upper case, or the sign itself
  KeyHandler small;
  KeyHandler capital;
};

// The handler a key runs, or null when the key does nothing.
KeyHandler FindKey(int key);

}  // namespace control
