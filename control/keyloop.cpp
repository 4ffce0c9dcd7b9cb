#include "control/keyloop.h"

#include <cstdio>

#include "control/command.h"
#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/state.h"
#include "control/monitor/commands.h"
#include "platform/terminal.h"

namespace control {

void RunKey(int key) {
  if (KeyHandler handler = FindKey(key)) return handler();
  if (key >= platform::kExtended) return;
  if (const CommandForm* form = SelectForm(key, true)) form->run(form->continuous);
}

void KeyLoop() {
  if (!State.quiet) platform::Print("Press '?' for help\n");
  while (State.run) {
    std::fflush(stdout);
    WaitKey();
    int key = ReadKey();
    if (key == platform::kEsc) return;
    JsonSwitchBegin("");
    RunKey(key);
    JsonSwitchEnd();
    std::fflush(stdout);
    DrainKeys();
  }
}

}  // namespace control
