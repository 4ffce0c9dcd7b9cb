// COM-KESTRAVO-Control for the tests that run long commands end to end: the program's own code on
// the virtual clock when KESTRAVO_VIRTUAL_CLOCK=1 (the shipped program knows no such variable).
#include <cstdlib>

#include "control/cmdline.h"
#include "tests/support/virtual_clock.h"

int main(int argc, char** argv) {
  const char* v = std::getenv("KESTRAVO_VIRTUAL_CLOCK");
  if (v && *v == '1') testing_support::UseVirtualClock(true);
  return control::Main(argc, argv);
}
