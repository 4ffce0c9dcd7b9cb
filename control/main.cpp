#include <cstdio>
#include "COM-KESTRAVO.h"
int main() { std::printf("COM-KESTRAVO-Control %hu\n", COM_KESTRAVO_GetSWVersion()); return 0; }
