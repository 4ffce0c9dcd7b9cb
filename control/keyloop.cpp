#include "control/keyloop.h"

#include <cstdio>

#include "control/commands.h"
#include "control/console.h"
#include "control/state.h"
#include "control/texts.h"
#include "platform/terminal.h"

namespace control {

void RunKey(int key) {
  if (key == '?') {
    platform::Print("%s", kHelpText);
    return;
  }
  if (key >= platform::kExtended) return;  // cursor and function keys do nothing here
  if (const CommandForm* form = SelectForm(key, true)) form->run(form->continuous);
}

void KeyLoop() {
  if (!State.quiet) platform::Print("Press '?' for help\n");
  while (State.run) {
    std::fflush(stdout);
    WaitKey();
    int key = ReadKey();
    if (key == platform::kEsc) return;
    RunKey(key);
    std::fflush(stdout);
    DrainKeys();
  }
}

}  // namespace control
