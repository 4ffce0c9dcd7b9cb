// The interactive key loop: one command per key until Esc.
#pragma once

namespace control {

void KeyLoop();
// Runs the command of one key.
void RunKey(int key);

}  // namespace control
