/* What a short exchange adds to the time of its characters on the wire, on COM n, through the
 * public interface only: the same program built for Linux and for Windows, so that the two can be
 * set side by side against the same simulated device.
 * Usage: exchange_bench COM BAUD COUNT     prints the milliseconds an exchange takes */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "COM-KESTRAVO.h"

#ifdef _WIN32
#include <windows.h>
static double NowMs(void) {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}
#else
#include <time.h>
static double NowMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}
#endif

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const unsigned com = (unsigned)atoi(argv[1]);
  uint32_t baud = (uint32_t)atol(argv[2]);
  const int count = atoi(argv[3]);
  if (COM_KESTRAVO_Open(0, (uint8_t)com) != 0) {
    fprintf(stderr, "COM%u: %s\n", com, COM_KESTRAVO_GetErrorMessage(0));
    return 1;
  }
  if (baud != 9600 && COM_KESTRAVO_SetBaudRate(0, &baud) != 0) return 1;
  uint32_t v = 0;
  const double start = NowMs();
  for (int i = 0; i < count; ++i)
    if (COM_KESTRAVO_GetPulserDelay(0, (uint32_t)(i % 4), &v) != 0) return 1;
  const double per = (NowMs() - start) / count;
  COM_KESTRAVO_Close(0);
  printf("%.3f\n", per);
  return 0;
}
