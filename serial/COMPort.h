// One serial device with fixed line settings (8 data bits, even parity, 1 stop bit, no flow control),
// bounded read retries, the DTR/RTS control lines and the CTS/DSR/RI/DCD status lines.
// Every operation returns a truth value and leaves a port error code in `Error`; with a debug
// stream, every failure is written there as a time-stamped line.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "COM-KESTRAVO.h"
#include "ports/port.h"

class COMPort {
 public:
  static constexpr uint32_t kBufferSize = 8192;

  COMPort() = default;
  ~COMPort();
  COMPort(const COMPort&) = delete;
  COMPort& operator=(const COMPort&) = delete;

  // Opens COM n (what KESTRAVO_COM<n> names, or the system's device), or a port by its name.
  bool Open(uint8_t ComNumber);
  bool OpenNamed(const char* name);
  bool Close();
  bool SetBaudRate(uint32_t rate);
  bool SendSync(unsigned duration);
  bool Purge();
  bool ResetCommTimeout();
  bool SetCommTimeout();
  bool Status(int& cts, int& dsr, int& ri, int& dcd);
  bool DeviceReady();
  bool WaitReady();
  bool DataAvailable();
  bool ReadFile(uint32_t n, bool stopAtCR);
  bool Read(uint8_t& byte, bool noWait);
  bool Read(uint8_t* destination, uint32_t& count, bool noWait, bool stopAtCR);
  bool Write(uint8_t byte);
  bool Write(const uint8_t* bytes, uint32_t count);
  bool WaitWriteBufferEmpty();
  bool Control(bool dtr, bool rts);
  void CheckCOMError(const char* label);
  const char* ErrorMessage() const;
  void WriteTimeStamp();
  void WriteEscaped(const uint8_t* bytes, uint32_t n);

  // Writes a message: a time stamp, then the formatted text; nothing without a debug stream.
  void Message(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes formatted text without a time stamp.
  void Text(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void TextV(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

  bool IsOpen() const { return Handle != nullptr; }

  uint32_t ReadyTimeout = 0;
  FILE* DebugFile = nullptr;
  std::unique_ptr<ports::SerialDevice> Handle;  // null: the invalid handle
  int32_t Error = COM_KESTRAVO_IO_NOT_OPEN;
  uint32_t CommErrors = 0;
  // Why the last Open failed, in plain words ("" after a successful one).
  char OpenFailure[256] = {};
  uint8_t Buffer[kBufferSize] = {};
  uint32_t Count = 0;
  // The port kind's notice last written to the trace (how the port differs from a serial line).
  const char* TracedNotice = nullptr;

 private:
  // The steps after the device is there (or is not): the line settings, the timing, a purge and
  // the control lines. port names the device in the trace's line when it did not open.
  bool Start(std::unique_ptr<ports::SerialDevice> device, const char* port);
  // A slot whose port is open refuses another opening.
  bool AlreadyOpen();
};

// The text of a port error code.
const char* PortErrorText(int32_t code);
