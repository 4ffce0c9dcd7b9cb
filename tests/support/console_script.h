// The console of the console program's tests: keys typed from a script, output collected.
#pragma once
#include <string>
#include <vector>

namespace testing_support {

// Collects everything printed into sink (null: standard output again).
void CaptureOutput(std::string* sink);
// Keys typed in chunks, then end of input (which reads as Esc). A chunk is typed when all before it
// were taken and the program waits for a key, or looks for one after time has passed: so keys
// flushed at the start of a dialogue are the ones typed before it, as at a terminal.
void ScriptInput(const std::vector<std::string>& chunks);

}  // namespace testing_support
