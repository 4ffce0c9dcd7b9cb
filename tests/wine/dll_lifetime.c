/* The DLL's load and unload notifications, loaded by name as a host program would: open a slot
 * on the simulated device with a trace, start and end a thread (its notifications are traced too),
 * then unload the DLL (FreeLibrary) or exit without closing anything. The notifications must close
 * the slot and finish the trace either way.
 * With "during", a second thread is inside a call (an opening of a switched-off device) when the
 * process exits 500 ms later: the exit must end the process at once, whatever that thread held.
 * Usage: dll_lifetime.exe unload|exit|during TRACE_FILE */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

typedef int32_t (*OpenDebugFile)(uint16_t, const char*);
typedef int32_t (*Open)(uint16_t, uint8_t);

static DWORD WINAPI Nothing(LPVOID unused) {
  (void)unused;
  return 0;
}

/* A call that lasts: opening slot 3 on a device that is switched off (about 8.5 s of repairs). */
static Open g_open;
static DWORD WINAPI LongOpen(LPVOID unused) {
  (void)unused;
  g_open(3, 3);
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  _putenv_s("KESTRAVO_COM3", "sim");
  HMODULE lib = LoadLibraryA("COM-KESTRAVO.dll");
  if (!lib) return 10;
  OpenDebugFile open_debug = (OpenDebugFile)(void*)GetProcAddress(lib, "COM_KESTRAVO_OpenDebugFile");
  Open open = (Open)(void*)GetProcAddress(lib, "COM_KESTRAVO_Open");
  if (!open_debug || !open) return 11;
  if (open_debug(2, argv[2]) != 0) return 12;
  if (open(2, 3) != 0) return 13;
  HANDLE thread = CreateThread(NULL, 0, Nothing, NULL, 0, NULL);
  if (!thread) return 15;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  if (strcmp(argv[1], "unload") == 0) {
    if (!FreeLibrary(lib)) return 14;
    return 0;
  }
  if (strcmp(argv[1], "during") == 0) {
    _putenv_s("KESTRAVO_SIM_FAULTS", "off=1");
    g_open = open;
    if (!CreateThread(NULL, 0, LongOpen, NULL, 0, NULL)) return 16;
    Sleep(500);
    ExitProcess(0); /* the other thread is inside COM_KESTRAVO_Open, holding its slot */
  }
  exit(0); /* without closing anything */
}
