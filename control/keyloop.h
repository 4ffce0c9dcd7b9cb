// The interactive key loop: one command per key until Esc.
#pragma once

namespace control {

void KeyLoop();
// Runs the command of one key (the loop's step 3).
void RunKey(int key);

}  // namespace control
