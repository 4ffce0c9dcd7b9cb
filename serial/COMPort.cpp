#include "serial/COMPort.h"

#include "ports/kinds.h"

#include <cstdarg>
#include <cstring>
#include <ctime>

#include "platform/clock.h"

namespace {

const char* const kPortErrorTexts[] = {
    "No error",
    "Port has not been opened yet",
    "Cannot open the port",
    "Cannot obtain communication error",
    "Cannot get the state of the port",
    "Cannot set the state of the port",
    "Break timing error",
    "Cannot place the transmission line in a break state",
    "Cannot place the transmission line in a nonbreak state",
    "Cannot set the timeouts for the port",
    "Cannot clear the port",
    "Error reading data from the port",
    "Error writing data to the port",
    "Wrong data amount written to the port",
    "Error setting the control lines of the port",
    "Error reading the status lines of the port",
    "Device is busy",
};

struct FlagWord {
  uint32_t flag;
  const char* word;
};
// In the order the trace lists them.
const FlagWord kCommErrorWords[] = {
    {ports::kCeBreak, " break"},     {ports::kCeFrame, " framing"},   {ports::kCeIoe, " I/O"},
    {ports::kCeMode, " invalid"},    {ports::kCeOverrun, " overrun"}, {ports::kCeRxOver, " overflow"},
    {ports::kCeRxParity, " parity"}, {ports::kCeTxFull, " full"},
};

}  // namespace

const char* PortErrorText(int32_t code) {
  if (code < 0 || code >= int32_t(sizeof kPortErrorTexts / sizeof *kPortErrorTexts)) return "Unknown error";
  return kPortErrorTexts[code];
}

COMPort::~COMPort() { Close(); }

void COMPort::TextV(const char* format, va_list args) {
  if (DebugFile) std::vfprintf(DebugFile, format, args);
}

void COMPort::Message(const char* format, ...) {
  if (!DebugFile) return;
  WriteTimeStamp();
  va_list args;
  va_start(args, format);
  TextV(format, args);
  va_end(args);
}

void COMPort::Text(const char* format, ...) {
  va_list args;
  va_start(args, format);
  TextV(format, args);
  va_end(args);
}

void COMPort::WriteTimeStamp() {
  if (!DebugFile) return;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  platform::LocalTime(now, local);
  char line[64];
  // The C library's date line: "Mon Dec 07 04:25:48 2026\n"
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::snprintf(line, sizeof line, "%s %s %02d %02d:%02d:%02d %d\n", kDays[local.tm_wday % 7],
                kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                local.tm_year + 1900);
  std::fprintf(DebugFile, "\n%s", line);
}

void COMPort::WriteEscaped(const uint8_t* bytes, uint32_t n) {
  if (!DebugFile) return;
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t b = bytes[i];
    if (b == '\\')
      std::fputs("\\\\", DebugFile);
    else if (b < 0x20 || b >= 0x80)
      std::fprintf(DebugFile, "\\x%02X", b);
    else
      std::fputc(b, DebugFile);
  }
}

void COMPort::CheckCOMError(const char* label) {
  if (!Handle || !Handle->ClearError(CommErrors)) {
    Message("COMPort::CheckCOMError: Cannot obtain communication error\n");
    Error = COM_KESTRAVO_IO_ERRORS_UNKNOWN;
    return;
  }
  if (!DebugFile || CommErrors == 0) return;
  if (label) Text("%s: ", label);
  WriteTimeStamp();
  Text("CommError = %08lX:", static_cast<unsigned long>(CommErrors));
  for (const FlagWord& f : kCommErrorWords)
    if (CommErrors & f.flag) Text("%s", f.word);
  Text("\n");
}

bool COMPort::AlreadyOpen() {
  if (!Handle) return false;
  Message("COMPort::Open: The port is already open\n");
  std::snprintf(OpenFailure, sizeof OpenFailure, "%s", "the slot is already open");
  Error = COM_KESTRAVO_IO_OPEN_FAILED;
  return true;
}

bool COMPort::Open(uint8_t ComNumber) {
  if (AlreadyOpen()) return false;
  TracedNotice = nullptr;
  // The Windows name of the port, as the trace has always shown it.
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\COM%u", unsigned(ComNumber));
  return Start(ports::OpenPort(ComNumber), name);
}

bool COMPort::OpenNamed(const char* name) {
  if (AlreadyOpen()) return false;
  TracedNotice = nullptr;
  return Start(ports::OpenNamedPort(name), name);
}

bool COMPort::Start(std::unique_ptr<ports::SerialDevice> device, const char* port) {
  Handle = std::move(device);
  CheckCOMError("COMPort::Open:CreateFile");
  std::snprintf(OpenFailure, sizeof OpenFailure, "%s", Handle ? "" : ports::LastOpenFailure());
  if (!Handle) {
    Message("COMPort::Open: Cannot open the port %s\n", port);
    if (*OpenFailure) Message("COMPort::Open: %s\n", OpenFailure);
    Error = COM_KESTRAVO_IO_OPEN_FAILED;
    return false;
  }
  if (!SetBaudRate(9600)) return false;
  TracedNotice = Handle->Notice();
  if (TracedNotice) Message("COMPort::Open: %s\n", TracedNotice);
  if (!SetCommTimeout()) {
    Message("COMPort::Open: Cannot set the port timing\n");
    Error = COM_KESTRAVO_IO_TIMEOUTS_FAILED;
    return false;
  }
  if (!Purge()) {
    Message("COMPort::Open: Cannot purge the port\n");
    return false;
  }
  if (!Control(true, true)) {
    Message("COMPort::Open: Error setting the control lines of the port\n");
    return false;
  }
  ReadyTimeout = 1000;
  return true;
}

bool COMPort::Close() {
  Error = COM_KESTRAVO_IO_NOT_OPEN;
  if (!Handle) {
    Message("COMPort::Close: Port handle is invalid\n");
    return false;
  }
  // The device is released also when its lines cannot be dropped (a device that is gone, or one
  // without modem lines): the failure is reported, and the slot can be opened again.
  const bool dropped = Control(false, false);
  bool closed = Handle->Close();
  Handle.reset();
  if (!closed) Message("COMPort::Close: Cannot close the port\n");
  return dropped && closed;
}

bool COMPort::SetBaudRate(uint32_t rate) {
  ports::PortConfig config;
  if (!Handle || !Handle->GetConfig(config)) {
    CheckCOMError("COMPort::SetBaudRate:GetCommState");
    Message("COMPort::SetBaudRate:GetCommState: Cannot get the port state\n");
    Error = COM_KESTRAVO_IO_GET_STATE_FAILED;
    return false;
  }
  // 8 data bits, even parity, 1 stop bit, no flow control.
  config.baud = rate;
  config.data_bits = 8;
  config.parity = ports::kEvenParity;
  config.stop_bits = 1;
  if (!Handle->SetConfig(config)) {
    CheckCOMError("COMPort::SetBaudRate:SetCommState");
    Message("COMPort::SetBaudRate:SetCommState: Cannot set the port state\n");
    Error = COM_KESTRAVO_IO_SET_STATE_FAILED;
    return false;
  }
  // A port that gives up something only now (parity, at a new data rate) says so when it does; the
  // opening writes the first notice itself.
  const char* notice = Handle->Notice();
  if (TracedNotice && notice && notice != TracedNotice) {
    Message("COMPort::SetBaudRate: %s\n", notice);
    TracedNotice = notice;
  }
  return true;
}

bool COMPort::SendSync(unsigned duration) {
  ports::PortConfig config;
  if (!Handle || !Handle->GetConfig(config)) {
    CheckCOMError("COMPort::Open:GetCommState");
    Message("COMPort::Open:GetCommState: Cannot get the port state\n");
    Error = COM_KESTRAVO_IO_GET_STATE_FAILED;
    return false;
  }
  auto set_config = [&]() {
    if (Handle->SetConfig(config)) return true;
    CheckCOMError("COMPort::Open:SetCommState");
    Message("COMPort::Open:SetCommState: Cannot set the port state\n");
    Error = COM_KESTRAVO_IO_SET_STATE_FAILED;
    return false;
  };
  config.parity = ports::kNoParity;
  if (!set_config()) return false;
  if (!Handle->SetBreak()) {
    CheckCOMError("COMPort::Open:SetCommBreak");
    Message("COMPort::SendSync:SetCommBreak: Cannot place the transmission line in a break state\n");
    Error = COM_KESTRAVO_IO_SET_BREAK_FAILED;
    return false;
  }
  platform::Sleep(duration > 0 ? duration - 1 : 0);
  if (!Handle->ClearBreak()) {
    CheckCOMError("COMPort::Open:ClearCommBreak");
    Message("COMPort::SendSync:ClearCommBreak: Cannot place the transmission line in a nonbreak state\n");
    Error = COM_KESTRAVO_IO_CLEAR_BREAK_FAILED;
    return false;
  }
  platform::Sleep(1);
  if (!Write(uint8_t(0x55))) {
    Message("COMPort::SendSync: Error sending the synchronization field\n");
    return false;
  }
  config.parity = ports::kEvenParity;
  return set_config();
}

bool COMPort::Purge() {
  bool ok = Handle && Handle->Purge(ports::kPurgeAll);
  CheckCOMError("COMPort::Purge:PurgeComm");
  Count = 0;
  Error = ok ? COM_KESTRAVO_IO_OK : COM_KESTRAVO_IO_PURGE_FAILED;
  if (!ok) Message("COMPort::Purge:PurgeComm: Cannot purge the port\n");
  return ok;
}

bool COMPort::ResetCommTimeout() {
  ports::CommTimeouts t;
  t.ReadIntervalTimeout = ports::kMaxTimeout;
  bool ok = Handle && Handle->SetTimeouts(t);
  CheckCOMError("COMPort::ResetCommTimeout:SetCommTimeouts");
  if (!ok) Message("COMPort::ResetCommTimeout:SetCommTimeouts: Cannot set the port timing\n");
  return ok;
}

bool COMPort::SetCommTimeout() {
  ports::CommTimeouts t;
  t.ReadIntervalTimeout = 10;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = 10;
  t.WriteTotalTimeoutMultiplier = 0;
  t.WriteTotalTimeoutConstant = 0;
  bool ok = Handle && Handle->SetTimeouts(t);
  CheckCOMError("COMPort::SetCommTimeout:SetCommTimeouts");
  if (!ok) Message("COMPort::SetCommTimeout:SetCommTimeouts: Cannot set the port timing\n");
  return ok;
}

bool COMPort::Status(int& cts, int& dsr, int& ri, int& dcd) {
  uint32_t bits = 0;
  bool ok = Handle && Handle->ModemStatus(bits);
  CheckCOMError("COMPort::Status:GetCommModemStatus");
  if (!ok) {
    Message("COMPort::Status:GetCommModemStatus: Error reading the status lines of the port\n");
    Error = COM_KESTRAVO_IO_STATUS_FAILED;
    return false;
  }
  cts = (bits & ports::kMsCtsOn) ? 1 : 0;
  dsr = (bits & ports::kMsDsrOn) ? 1 : 0;
  ri = (bits & ports::kMsRingOn) ? 1 : 0;
  dcd = (bits & ports::kMsRlsdOn) ? 1 : 0;
  Error = COM_KESTRAVO_IO_OK;
  return true;
}

bool COMPort::DeviceReady() {
  int cts = 0, dsr = 0, ri = 0, dcd = 0;
  bool ok = Status(cts, dsr, ri, dcd);
  CheckCOMError("COMPort::DeviceReady:Status");
  if (!ok) {
    Message("COMPort::DeviceReady:Status: Error reading the status lines of the port\n");
    return false;
  }
  if (cts) return true;
  Message("COMPort::DeviceReady:Status: Device not ready (CTS inactive)\n");
  Error = COM_KESTRAVO_IO_BUSY;
  return false;
}

bool COMPort::WaitReady() {
  for (uint32_t i = 0; i < ReadyTimeout; ++i) {
    if (DeviceReady()) return true;
    platform::Sleep(1);
  }
  return false;
}

bool COMPort::ReadFile(uint32_t n, bool stopAtCR) {
  if (n > kBufferSize) n = kBufferSize;  // the receive buffer holds no more
  uint32_t got = 0;
  bool ok = Handle && Handle->Read(Buffer, n, got);
  CheckCOMError("COMPort::ReadFile:ReadFile");
  if (!ok) {
    Message("COMPort::ReadFile:ReadFile: Could not read the port\n");
    Error = COM_KESTRAVO_IO_READ_FAILED;
    return false;
  }
  Count = got;
  // Up to 100 repeats that bring nothing; a repeat that brings data does not count, so a long reply
  // that keeps arriving is read to its end. Each repeat waits up to 5 ms, less when data arrives.
  for (unsigned k = 1, idle = 0;; ++k) {
    if (Count >= n) return true;
    if (stopAtCR && std::memchr(Buffer, 0x0D, Count)) return true;
    Message(
        "COMPort::ReadFile:ReadFile: Could not read the data, repeating the operation #%u, data read so far: "
        "%lu, "
        "expected: %lu\n",
        k, static_cast<unsigned long>(Count), static_cast<unsigned long>(n));
    Handle->WaitForData(5);
    got = 0;
    ok = Handle->Read(Buffer + Count, n - Count, got);
    CheckCOMError("COMPort::ReadFile:ReadFile");
    if (!ok) {
      Message("COMPort::ReadFile:ReadFile: Could not read the port\n");
      if (Count == 0) {
        Error = COM_KESTRAVO_IO_READ_FAILED;
        return false;
      }
    }
    Count += got;
    if (got == 0 && ++idle >= 100) return true;
  }
}

bool COMPort::Read(uint8_t& byte, bool noWait) {
  if (Count == 0) {
    if (!noWait && !WaitReady()) {
      Message("COMPort::Read-char: Device not ready\n");
      return false;
    }
    if (!ReadFile(1, true)) {
      Message("COMPort::Read-char:ReadFile: Could not read the port\n");
      Error = COM_KESTRAVO_IO_READ_FAILED;
      return false;
    }
    if (Count == 0) {
      Message("COMPort::Read-char:ReadFile: Could not read the character from the port\n");
      Error = COM_KESTRAVO_IO_READ_FAILED;
      return false;
    }
  }
  byte = Buffer[0];
  std::memmove(Buffer, Buffer + 1, Count - 1);
  Count -= 1;
  Error = COM_KESTRAVO_IO_OK;
  return true;
}

bool COMPort::Read(uint8_t* destination, uint32_t& count, bool noWait, bool stopAtCR) {
  uint32_t wanted = count;
  count = 0;
  if (Count < wanted) {
    bool handed_out = Count > 0;
    if (handed_out) {
      std::memcpy(destination, Buffer, Count);
      destination += Count;
      count += Count;
      wanted -= Count;
      Count = 0;
    }
    if (!noWait && !WaitReady()) {
      Message("COMPort::Read-array: Device not ready\n");
      Count = 0;
      return false;
    }
    if (!ReadFile(wanted, stopAtCR)) {
      Message(handed_out ? "COMPort::Read-array:ReadFile: Cannot read the port\n"
                         : "COMPort::Read-array: Could not read the port\n");
      Count = 0;
      Error = COM_KESTRAVO_IO_READ_FAILED;
      return false;
    }
  }
  uint32_t m = wanted < Count ? wanted : Count;
  std::memcpy(destination, Buffer, m);
  destination[m] = 0;
  std::memmove(Buffer, Buffer + m, Count - m);
  Count -= m;
  count += m;
  Error = COM_KESTRAVO_IO_OK;
  return true;
}

bool COMPort::Write(uint8_t byte) {
  uint32_t written = 0;
  bool ok = Handle && Handle->Write(&byte, 1, written);
  CheckCOMError("COMPort::Write-char:WriteFile");
  if (!ok) {
    Message("COMPort::Write-char:WriteFile: Cannot write the port\n");
    Error = COM_KESTRAVO_IO_WRITE_FAILED;
    return false;
  }
  if (written != 1) {
    Message("COMPort::Write-char:WriteFile: %lu bytes instead of 1 written to the port\n",
            static_cast<unsigned long>(written));
    Error = COM_KESTRAVO_IO_WRITE_COUNT;
    return false;
  }
  Error = COM_KESTRAVO_IO_OK;
  return true;
}

bool COMPort::Write(const uint8_t* bytes, uint32_t count) {
  uint32_t written = 0;
  bool ok = Handle && Handle->Write(bytes, count, written);
  CheckCOMError("COMPort::Write-array:WriteFile");
  if (!ok) {
    Message("COMPort::Write-array:WriteFile: Cannot write the port\n");
    Error = COM_KESTRAVO_IO_WRITE_FAILED;
    return false;
  }
  if (written != count) {
    Message("COMPort::Write-array:WriteFile: %lu bytes instead of %u written to the port\n",
            static_cast<unsigned long>(written), count);
    Error = COM_KESTRAVO_IO_WRITE_COUNT;
    return false;
  }
  Error = COM_KESTRAVO_IO_OK;
  return true;
}

bool COMPort::WaitWriteBufferEmpty() {
  uint32_t mask = 0;
  bool ok = Handle && Handle->WaitEvent(mask);
  CheckCOMError("COMPort::WaitWriteBufferEmpty:WaitCommEvent");
  if (!ok) {
    Message("COMPort::WaitWriteBufferEmpty:WaitCommEvent: Error waiting for port events\n");
    return false;
  }
  return mask == ports::kEvTxEmpty;
}

bool COMPort::DataAvailable() {
  if (Count > 0) return true;
  ResetCommTimeout();
  uint32_t got = 0;
  bool ok = Handle && Handle->Read(Buffer, kBufferSize, got);
  Count = ok ? got : 0;
  CheckCOMError("COMPort::DataAvailable:ReadFile");
  if (!ok) Message("COMPort::DataAvailable:ReadFile: Cannot read the port\n");
  SetCommTimeout();
  return ok && Count > 0 && DeviceReady();
}

bool COMPort::Control(bool dtr, bool rts) {
  bool ok = Handle && Handle->Escape(rts ? ports::kSetRts : ports::kClrRts);
  if (ok) ok = Handle->Escape(dtr ? ports::kSetDtr : ports::kClrDtr);
  CheckCOMError("COMPort::Control:EscapeCommFunction");
  if (ok) {
    Error = COM_KESTRAVO_IO_OK;
    return true;
  }
  Message("COMPort::Control:EscapeCommFunction: Error setting the control lines of the port\n");
  Error = COM_KESTRAVO_IO_CONTROL_FAILED;
  return false;
}

const char* COMPort::ErrorMessage() const { return PortErrorText(Error); }
