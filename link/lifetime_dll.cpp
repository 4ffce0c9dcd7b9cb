// The DLL's load and unload notifications. A program that ends without closing its slots still
// has its device lines dropped, its ports closed and its debug files flushed.
#include <windows.h>

#include "link/link.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) kestravo::LibraryNotification(kestravo::kProcessAttach);
  if (reason == DLL_PROCESS_DETACH) kestravo::LibraryNotification(kestravo::kProcessDetach);
  return TRUE;
}
