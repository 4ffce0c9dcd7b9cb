/* Loads the library, opens a slot on the simulated device, makes one call, closes the slot and
 * unloads the library, ROUNDS times in one process, as a host that loads it for each job does
 * (MATLAB's loadlibrary, LabVIEW, a Python that reloads it). After a warm-up of 50 rounds the
 * process's memory (resident size on Linux, private bytes on Windows) and, on Windows, the free
 * thread-local-storage indices are taken; at the end they must stand where they stood: memory
 * within MARGIN_KIB, not one TLS index fewer.
 * Usage: load_unload LIBRARY ROUNDS */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#ifdef _WIN32
#include <windows.h>
/* psapi.h needs windows.h's types. */
#include <psapi.h>
typedef HMODULE Library;
static Library Load(const char* path) { return LoadLibraryA(path); }
static void* Symbol(Library l, const char* name) { return (void*)GetProcAddress(l, name); }
static int Unload(Library l) { return FreeLibrary(l) ? 0 : -1; }
static long MemoryKiB(void) {
  PROCESS_MEMORY_COUNTERS_EX m;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS*)&m, sizeof m)) return -1;
  return (long)(m.PrivateUsage / 1024);
}
/* The TLS indices the process can still allocate: taken until none is left, then given back. */
static long FreeTlsIndices(void) {
  static DWORD taken[2048];
  long n = 0;
  while (n < 2048 && (taken[n] = TlsAlloc()) != TLS_OUT_OF_INDEXES) ++n;
  for (long i = 0; i < n; ++i) TlsFree(taken[i]);
  return n;
}
#define MEMORY_NAME "private bytes"
#else
#include <dlfcn.h>
#include <unistd.h>
typedef void* Library;
static Library Load(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* Symbol(Library l, const char* name) { return dlsym(l, name); }
static int Unload(Library l) { return dlclose(l); }
static long MemoryKiB(void) {
  long size = 0, resident = 0;
  FILE* f = fopen("/proc/self/statm", "r");
  if (!f) return -1;
  if (fscanf(f, "%ld %ld", &size, &resident) != 2) resident = -1;
  fclose(f);
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}
static long FreeTlsIndices(void) { return 0; }
#define MEMORY_NAME "resident size"
#endif

#define MARGIN_KIB 2048
#define WARM_UP 50

typedef int32_t (*OpenPortFn)(uint16_t, const char*);
typedef int32_t (*GetFWVersionFn)(uint16_t, uint16_t*);
typedef int32_t (*CloseFn)(uint16_t);

/* One round; 0 when every step worked. */
static int Round(const char* path) {
  Library lib = Load(path);
  if (!lib) return 1;
  OpenPortFn open = (OpenPortFn)Symbol(lib, "COM_KESTRAVO_OpenPort");
  GetFWVersionFn version = (GetFWVersionFn)Symbol(lib, "COM_KESTRAVO_GetFWVersion");
  CloseFn close = (CloseFn)Symbol(lib, "COM_KESTRAVO_Close");
  if (!open || !version || !close) return 2;
  uint16_t v = 0;
  if (open(0, "sim") != 0) return 3;
  if (version(0, &v) != 0 || v == 0) return 4;
  if (close(0) != 0) return 5;
  return Unload(lib) == 0 ? 0 : 6;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const long rounds = atol(argv[2]);
  for (long i = 0; i < WARM_UP; ++i)
    if (Round(argv[1]) != 0) {
      printf("warm-up round %ld failed\n", i + 1);
      return 1;
    }
  const long memory0 = MemoryKiB(), tls0 = FreeTlsIndices();
  for (long i = 0; i < rounds; ++i) {
    const int r = Round(argv[1]);
    if (r != 0) {
      printf("round %ld failed at step %d (free TLS indices %ld, %s %ld KiB)\n", i + 1, r, FreeTlsIndices(),
             MEMORY_NAME, MemoryKiB());
      return 1;
    }
  }
  const long memory1 = MemoryKiB(), tls1 = FreeTlsIndices();
  printf("%ld rounds: %s %ld -> %ld KiB (%+ld, at most +%d), free TLS indices %ld -> %ld\n", rounds,
         MEMORY_NAME, memory0, memory1, memory1 - memory0, MARGIN_KIB, tls0, tls1);
  return memory0 < 0 || memory1 - memory0 > MARGIN_KIB || tls1 < tls0 ? 1 : 0;
}
