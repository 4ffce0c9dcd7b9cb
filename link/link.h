// The device link: sixteen port slots, the library's result codes, the command frame and the
// shared reply store. Internal to the library.
#pragma once
#include <cstdint>

#include "COM-KESTRAVO.h"
#include "serial/COMPort.h"

namespace kestravo {

constexpr uint16_t kSlots = 16;

// The library's result codes, by the names of the public header.
enum Result : int32_t {
  kOk = COM_KESTRAVO_OK,
  kPortNumberRange = COM_KESTRAVO_PORT_NUMBER_RANGE,
  kOpenFailed = COM_KESTRAVO_OPEN_FAILED,
  kCloseFailed = COM_KESTRAVO_CLOSE_FAILED,
  kPurgeFailed = COM_KESTRAVO_PURGE_FAILED,
  kControlFailed = COM_KESTRAVO_CONTROL_FAILED,
  kStatusFailed = COM_KESTRAVO_STATUS_FAILED,
  kSendCommand = COM_KESTRAVO_SEND_COMMAND_FAILED,
  kSendData = COM_KESTRAVO_SEND_DATA_FAILED,
  kSendTermination = COM_KESTRAVO_SEND_TERMINATION_FAILED,
  kReceiveCommand = COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
  kReceiveData = COM_KESTRAVO_RECEIVE_DATA_FAILED,
  kReceiveTermination = COM_KESTRAVO_RECEIVE_TERMINATION_FAILED,
  kWrongCommand = COM_KESTRAVO_WRONG_COMMAND,
  kWrongArgument = COM_KESTRAVO_WRONG_ARGUMENT,
  kBadArgument = COM_KESTRAVO_BAD_ARGUMENT,
  kBaudRateFailed = COM_KESTRAVO_BAUD_RATE_FAILED,
  kNotConnected = COM_KESTRAVO_NOT_CONNECTED,
  kNotReady = COM_KESTRAVO_NOT_READY,
  kStillReady = COM_KESTRAVO_STILL_READY,
  kDebugOpenFailed = COM_KESTRAVO_DEBUG_OPEN_FAILED,
  kDebugCloseFailed = COM_KESTRAVO_DEBUG_CLOSE_FAILED,
};

const char* ResultText(int32_t code);

// The slots live for the whole life of the loaded library and are never destroyed by the C++
// runtime: the unload notification closes them itself, in its own order. They are made on first
// use, so that the load notification may run before any other initialiser of the library.
struct SlotArray {
  COMPort& operator[](uint16_t slot) const;
};
inline constexpr SlotArray Ports{};
extern int32_t InterfaceState[kSlots];

// The exchange buffer of each slot: calls on one slot are serialised by its lock, so no two
// exchanges ever share a buffer. (Not one per thread: a thread-local variable costs the Windows
// DLL a TLS index that unloading never gives back.)
constexpr uint32_t kReplyBufferSize = 8192;
struct Reply {
  char text[kReplyBufferSize + 1];
  uint32_t length;
};
extern Reply Replies[kSlots];

// Held for the whole of every exported call on a slot: calls on one slot never overlap, calls on
// different slots may. Recursive, since exported calls call each other (the unload notification,
// a debug file opened over an open one). Slots out of range take no lock.
class SlotLock {
 public:
  explicit SlotLock(uint16_t slot);
  // With only_if_free, only if the slot is free at once (held() tells): for the thread
  // notifications, which run under the system's loader lock and must never wait for a call in
  // progress.
  SlotLock(uint16_t slot, bool only_if_free);
  ~SlotLock();
  SlotLock(const SlotLock&) = delete;
  SlotLock& operator=(const SlotLock&) = delete;
  bool held() const { return held_; }

 private:
  uint16_t slot_;
  bool held_ = false;
};

inline bool BadPort(uint16_t port) { return port >= kSlots; }
inline int32_t Store(uint16_t port, int32_t result) { return InterfaceState[port] = result; }

// Command frame.
int32_t WriteCommand(uint16_t port, char letter, const char* data);
int32_t WriteCommand(uint16_t port, char letter);
int32_t ReadCommand(uint16_t port, char letter, int32_t n);
int32_t ReadCommandInt(uint16_t port, char letter, uint32_t& value, int32_t n);
int32_t ReadCommandBool(uint16_t port, char letter, int32_t& flag);
int32_t ParseYesNo(char c, int32_t& flag);
void DumpReply(uint16_t port);

// Supervision.
int32_t CheckIfc(uint16_t port);
int32_t Repair(uint16_t port);
int32_t RepairRepeatedly(uint16_t port);

// Load and unload notifications (reason codes as the Windows entry point gets them).
constexpr uint32_t kProcessDetach = 0, kProcessAttach = 1, kThreadAttach = 2, kThreadDetach = 3;
// terminating: the process is ending (ExitProcess, a console's second Ctrl-C) and the system has
// already ended every other thread; one of them may hold its slot's lock forever, so no slot is
// waited for then.
void LibraryNotification(uint32_t reason, bool terminating = false);

}  // namespace kestravo
