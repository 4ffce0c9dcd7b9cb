/* Opens COM n (KESTRAVO_COM<n>=sim gives a simulated device), shows the device's identity, sets
 * the delay of pulser 2 and reads it back, then closes the port.
 * Usage: kestravo_example [COM number]     exit status 0 when every call succeeded. */
#include <stdio.h>
#include <stdlib.h>

#include <COM-KESTRAVO.h>

static int Check(int32_t result, const char* what) {
  if (result == 0) return 1;
  fprintf(stderr, "%s: %s (I/O: %s)\n", what, COM_KESTRAVO_GetErrorMessage(0),
          COM_KESTRAVO_GetIOErrorMessage(0));
  return 0;
}

int main(int argc, char** argv) {
  uint8_t com = (uint8_t)(argc > 1 ? atoi(argv[1]) : 1);
  printf("Library %s, protocol version %04X\n", COM_KESTRAVO_GetLibraryVersion(),
         COM_KESTRAVO_GetSWVersion());
  if (!Check(COM_KESTRAVO_Open(0, com), "Open")) return 1;

  uint16_t firmware = 0;
  char product[84] = {0};
  uint32_t delay = 0;
  int ok = Check(COM_KESTRAVO_GetFWVersion(0, &firmware), "GetFWVersion") &&
           Check(COM_KESTRAVO_GetProductID(0, product), "GetProductID") &&
           Check(COM_KESTRAVO_SetPulserDelay(0, 2, 1000), "SetPulserDelay") &&
           Check(COM_KESTRAVO_GetPulserDelay(0, 2, &delay), "GetPulserDelay");
  if (ok) {
    printf("Firmware %u-%02u: %s\n", firmware >> 8, firmware & 0xFF, product);
    printf("Pulser 2 delay: %u\n", delay);
  }
  ok = Check(COM_KESTRAVO_Close(0), "Close") && ok;
  return ok ? 0 : 1;
}
