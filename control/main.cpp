// COM-KESTRAVO-Control: the console program.
#include "control/cmdline.h"

int main(int argc, char** argv) { return control::Main(argc, argv); }
