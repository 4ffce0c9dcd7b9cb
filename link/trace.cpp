// The per-slot debug trace and the library's load and unload notifications.
#include <cstdio>

#include "link/link.h"

namespace kestravo {

void LibraryNotification(uint32_t reason, bool terminating) {
  switch (reason) {
    case kProcessAttach:
    case kThreadAttach:
      for (uint16_t i = 0; i < kSlots; ++i) {
        // A thread's notification skips a slot whose call is in progress (it may be waiting for
        // the loader lock that this notification holds).
        const SlotLock slot_lock(i, reason == kThreadAttach);
        if (slot_lock.held()) Ports[i].Message("Initializing the DLL, fdwReason=%u\n", reason);
      }
      if (reason == kProcessAttach)
        for (int32_t& s : InterfaceState) s = 0;
      break;
    case kProcessDetach:
    case kThreadDetach: {
      // A slot whose lock is held at process termination belongs to a thread the system has ended
      // inside a call: it is left to the system, which closes its handles (and so drops the
      // device's lines) as the process ends. Waiting for it would never end.
      bool free[kSlots] = {};
      for (uint16_t i = 0; i < kSlots; ++i) {
        const SlotLock slot_lock(i, reason == kThreadDetach || terminating);
        free[i] = slot_lock.held();
        if (slot_lock.held()) Ports[i].Message("Exiting the DLL, fdwReason=%u\n", reason);
      }
      if (reason == kProcessDetach) {
        for (uint16_t i = 0; i < kSlots; ++i) {
          if (terminating && !free[i]) continue;
          COM_KESTRAVO_Close(i);
          COM_KESTRAVO_CloseDebugFile(i);
        }
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace kestravo

using namespace kestravo;

extern "C" {

int32_t COM_KESTRAVO_OpenDebugFile(uint16_t PortNumber, const char* FileName) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  COMPort& p = Ports[PortNumber];
  if (p.DebugFile) {
    int32_t r = COM_KESTRAVO_CloseDebugFile(PortNumber);
    if (r != kOk) return r;
  }
  p.DebugFile = FileName ? std::fopen(FileName, "w") : nullptr;
  if (!p.DebugFile) return Store(PortNumber, kDebugOpenFailed);
  p.Text("Debugging output file for PortNumber=%hu\n", PortNumber);
  p.Message("File opened by COM_KESTRAVO_OpenDebugFile\n");
  return Store(PortNumber, kOk);
}

int32_t COM_KESTRAVO_CloseDebugFile(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  COMPort& p = Ports[PortNumber];
  if (!p.DebugFile) return Store(PortNumber, kOk);
  p.Message("File closed by COM_KESTRAVO_CloseDebugFile\n");
  int closed = std::fclose(p.DebugFile);
  p.DebugFile = nullptr;
  return Store(PortNumber, closed == 0 ? kOk : kDebugCloseFailed);
}

}  // extern "C"
