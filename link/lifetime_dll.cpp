// The DLL's load and unload notifications, and those of the host's threads. A program that ends
// without closing its slots still has its device lines dropped, its ports closed and its debug
// files flushed.
#include <windows.h>

#include "link/link.h"

namespace {

// The thread library linked into this DLL takes a thread-local-storage index the first time a
// lock is made once or a thread asks who it is, and never gives it back: a host that loads and
// unloads the DLL for each job would run out of indices after about a thousand rounds (the
// process then ends without a word). The DLL is linked with every TlsAlloc of its own code routed
// through RecordedTlsAlloc, and gives the recorded indices back when it is unloaded.
constexpr LONG kMostIndices = 8;
DWORD recorded[kMostIndices];
volatile LONG recorded_count = 0;

}  // namespace

// The linker's names for the import of TlsAlloc: the real one, and the one this DLL's objects
// are sent to. On i686 every C name has an underscore before it, the linker's prefixes included,
// and the import's carries the size of its arguments.
#if defined(_M_IX86) || defined(__i386__)
#define KESTRAVO_TLS_ALLOC_NAME(prefix) "_" prefix "__imp__TlsAlloc@0"
#else
#define KESTRAVO_TLS_ALLOC_NAME(prefix) prefix "___imp_TlsAlloc"
#endif
using TlsAllocFunction = DWORD(WINAPI*)();
extern "C" TlsAllocFunction kestravo_real_tls_alloc __asm__(KESTRAVO_TLS_ALLOC_NAME("__real"));

static DWORD WINAPI RecordedTlsAlloc() {
  const DWORD index = kestravo_real_tls_alloc();
  if (index != TLS_OUT_OF_INDEXES) {
    const LONG n = InterlockedIncrement(&recorded_count) - 1;
    if (n < kMostIndices) recorded[n] = index;
  }
  return index;
}
extern "C" TlsAllocFunction kestravo_wrapped_tls_alloc __asm__(KESTRAVO_TLS_ALLOC_NAME("__wrap"));
TlsAllocFunction kestravo_wrapped_tls_alloc = RecordedTlsAlloc;

static void GiveBackTlsIndices() {
  const LONG n = recorded_count < kMostIndices ? recorded_count : kMostIndices;
  for (LONG i = 0; i < n; ++i) TlsFree(recorded[i]);
  recorded_count = 0;
}

// The reasons are the system's own: process detach 0, process attach 1, thread attach 2, thread
// detach 3; each is written to the open traces.
// For a process detach, reserved is not null when the process is terminating (rather than the DLL
// being unloaded by FreeLibrary): every other thread has been ended by then, and the indices go
// with the process.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  const bool terminating = reason == DLL_PROCESS_DETACH && reserved != nullptr;
  kestravo::LibraryNotification(reason, terminating);
  if (reason == DLL_PROCESS_DETACH && !terminating) GiveBackTlsIndices();
  return TRUE;
}
