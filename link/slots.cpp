#include <cstring>
#include <mutex>
#include <new>

#include "link/link.h"

namespace kestravo {

namespace {

// Objects made in the library's own static storage on first use and never destroyed: the unload
// notification still uses them after the runtime has destroyed its static objects, and unloading
// the library unmaps the storage with the library, so that a host that loads and unloads it again
// and again is left with nothing (objects made with new would stay behind, 130 KiB a load).
template <typename T>
T* MadeOnce() {
  alignas(T) static unsigned char storage[sizeof(T) * kSlots];
  for (uint16_t i = 0; i < kSlots; ++i) new (storage + sizeof(T) * i) T();
  return reinterpret_cast<T*>(storage);
}

}  // namespace

COMPort& SlotArray::operator[](uint16_t slot) const {
  static COMPort* const ports = MadeOnce<COMPort>();
  return ports[slot];
}

int32_t InterfaceState[kSlots] = {};
Reply Replies[kSlots] = {};

namespace {

// Made on first use and never destroyed, like the slots.
std::recursive_mutex& SlotMutex(uint16_t slot) {
  static std::recursive_mutex* const mutexes = MadeOnce<std::recursive_mutex>();
  return mutexes[slot];
}

}  // namespace

SlotLock::SlotLock(uint16_t slot) : slot_(slot) {
  if (slot_ < kSlots) SlotMutex(slot_).lock();
  held_ = slot_ < kSlots;
}
SlotLock::SlotLock(uint16_t slot, bool only_if_free) : slot_(slot) {
  if (slot_ >= kSlots) return;
  if (only_if_free) {
    held_ = SlotMutex(slot_).try_lock();
  } else {
    SlotMutex(slot_).lock();
    held_ = true;
  }
}
SlotLock::~SlotLock() {
  if (held_) SlotMutex(slot_).unlock();
}

namespace {

struct ResultEntry {
  int32_t code;
  const char* text;
};

const ResultEntry kResultTexts[] = {
    {kOk, "No error"},
    {kPortNumberRange, "PortNumber out of range"},
    {kOpenFailed, "Error opening the port"},
    {kCloseFailed, "Error closing the port"},
    {kPurgeFailed, "Error purging the port"},
    {kControlFailed, "Error setting the port control lines"},
    {kStatusFailed, "Error reading the port status lines"},
    {kSendCommand, "Error sending command"},
    {kSendData, "Error sending data"},
    {kSendTermination, "Error sending termination character"},
    {kReceiveCommand, "Error receiving command"},
    {kReceiveData, "Error receiving data"},
    {kReceiveTermination, "Error receiving termination character"},
    {kWrongCommand, "Wrong command received"},
    {kWrongArgument, "Wrong argument received"},
    {kBadArgument, "Wrong argument passed to the function"},
    {kBaudRateFailed, "Error setting the baud rate"},
    {kNotConnected, "Device not connected"},
    {kNotReady, "Device not ready"},
    {kStillReady, "Device state could not be set to not ready"},
    {kDebugOpenFailed, "Error opening the file for debugging output"},
    {kDebugCloseFailed, "Error closing the file for debugging output"},
};

const char kOutOfRange[] = "PortNumber out of range";

}  // namespace

const char* ResultText(int32_t code) {
  for (const ResultEntry& e : kResultTexts)
    if (e.code == code) return e.text;
  return "Unknown error";
}

}  // namespace kestravo

using namespace kestravo;

extern "C" {

uint16_t COM_KESTRAVO_GetSWVersion(void) { return 0x0100; }

const char* COM_KESTRAVO_GetLibraryVersion(void) { return COM_KESTRAVO_VERSION_STRING; }

int32_t COM_KESTRAVO_GetInterfaceState(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  return BadPort(PortNumber) ? kPortNumberRange : InterfaceState[PortNumber];
}

const char* COM_KESTRAVO_GetErrorMessage(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  return BadPort(PortNumber) ? kOutOfRange : ResultText(InterfaceState[PortNumber]);
}

int32_t COM_KESTRAVO_GetIOState(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  return BadPort(PortNumber) ? kPortNumberRange : Ports[PortNumber].Error;
}

const char* COM_KESTRAVO_GetIOErrorMessage(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  return BadPort(PortNumber) ? kOutOfRange : Ports[PortNumber].ErrorMessage();
}

const char* COM_KESTRAVO_GetOpenFailureReason(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  return BadPort(PortNumber) ? nullptr : Ports[PortNumber].OpenFailure;
}

}  // extern "C"
