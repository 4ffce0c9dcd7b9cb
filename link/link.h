// The device link: sixteen port slots, the library's result codes, the command frame and the
// shared reply store. Internal to the library.
#pragma once
#include <cstdint>

#include "COM-KESTRAVO.h"
#include "serial/COMPort.h"

namespace kestravo {

constexpr uint16_t kSlots = 16;

enum Result : int32_t {
  kOk = 0,
  kPortNumberRange = -1,
  kOpenFailed = -2,
  kCloseFailed = -3,
  kPurgeFailed = -4,
  kControlFailed = -5,
  kStatusFailed = -6,
  kSendCommand = -7,
  kSendData = -8,
  kSendTermination = -9,
  kReceiveCommand = -10,
  kReceiveData = -11,
  kReceiveTermination = -12,
  kWrongCommand = -13,
  kWrongArgument = -14,
  kBadArgument = -15,
  kBaudRateFailed = -16,
  kNotConnected = -100,
  kNotReady = -101,
  kStillReady = -102,
  kDebugOpenFailed = -400,
  kDebugCloseFailed = -401,
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

// The exchange buffer of the calling thread: calls on one slot are serialised by its lock, calls on
// different slots run in different threads, so no two exchanges ever share a buffer.
constexpr uint32_t kReplyBufferSize = 8192;
extern thread_local char ReplyBuffer[kReplyBufferSize + 1];
extern thread_local uint32_t ReplyLength;

// Held for the whole of every exported call on a slot: calls on one slot never overlap, calls on
// different slots may. Recursive, since exported calls call each other (the unload notification,
// a debug file opened over an open one). Slots out of range take no lock.
class SlotLock {
 public:
  explicit SlotLock(uint16_t slot);
  ~SlotLock();
  SlotLock(const SlotLock&) = delete;
  SlotLock& operator=(const SlotLock&) = delete;

 private:
  uint16_t slot_;
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
void LibraryNotification(uint32_t reason);

}  // namespace kestravo
