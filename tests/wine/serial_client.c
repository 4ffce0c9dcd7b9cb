/* A host program of the library on COM n, built for Linux and for Windows alike: identity, a purge,
 * a rate change, and a memory block of 4092 bytes written and read back at the new rate. Prints one
 * line per step; exit status 0 when every step succeeded.
 * Usage: serial_client COM */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "COM-KESTRAVO.h"

static int Step(const char* what, int32_t result) {
  printf("%s: %d (%s)\n", what, (int)result, COM_KESTRAVO_GetErrorMessage(0));
  return result == 0;
}

static int BlockBothWays(uint8_t seed) {
  static uint8_t out[COM_KESTRAVO_MEMORY_BLOCK_MAX], in[COM_KESTRAVO_MEMORY_BLOCK_MAX];
  for (int i = 0; i < COM_KESTRAVO_MEMORY_BLOCK_MAX; ++i) out[i] = (uint8_t)(i * 7 + seed);
  memset(in, 0, sizeof in);
  if (!Step("SetMemoryData 4092", COM_KESTRAVO_SetMemoryData(0, 100, COM_KESTRAVO_MEMORY_BLOCK_MAX, out)))
    return 0;
  if (!Step("GetMemoryData 4092", COM_KESTRAVO_GetMemoryData(0, 100, COM_KESTRAVO_MEMORY_BLOCK_MAX, in)))
    return 0;
  const int same = memcmp(in, out, sizeof in) == 0;
  printf("block read back %s\n", same ? "equal" : "DIFFERENT");
  return same;
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  uint16_t type = 0, version = 0;
  uint32_t baud = 115200;
  int ok = Step("Open", COM_KESTRAVO_Open(0, (uint8_t)atoi(argv[1])));
  ok = ok && Step("GetHWType", COM_KESTRAVO_GetHWType(0, &type)) &&
       Step("GetFWVersion", COM_KESTRAVO_GetFWVersion(0, &version));
  if (ok) printf("type %04X, firmware %d.%02d\n", type, version >> 8, version & 0xFF);
  ok = ok && Step("Purge", COM_KESTRAVO_Purge(0));
  ok = ok && Step("SetBaudRate", COM_KESTRAVO_SetBaudRate(0, &baud));
  if (ok) printf("rate %lu\n", (unsigned long)baud);
  ok = ok && BlockBothWays(1);
  ok = ok && Step("GetHWType", COM_KESTRAVO_GetHWType(0, &type));
  ok = Step("Close", COM_KESTRAVO_Close(0)) && ok;
  return ok ? 0 : 1;
}
