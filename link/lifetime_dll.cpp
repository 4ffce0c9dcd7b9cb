// The DLL's load and unload notifications, and those of the host's threads. A program that ends
// without closing its slots still has its device lines dropped, its ports closed and its debug
// files flushed.
#include <windows.h>

#include "link/link.h"

// The reasons are the system's own: process detach 0, process attach 1, thread attach 2, thread
// detach 3; each is written to the open traces.
// For a process detach, reserved is not null when the process is terminating (rather than the DLL
// being unloaded by FreeLibrary): every other thread has been ended by then.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  kestravo::LibraryNotification(reason, reason == DLL_PROCESS_DETACH && reserved != nullptr);
  return TRUE;
}
