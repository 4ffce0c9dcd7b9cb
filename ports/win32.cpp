// Serial ports on Windows: the Win32 serial API on a COM port handle ("\\.\COMn"). The read
// time-outs are the port's own COMMTIMEOUTS; writes are bounded by write time-outs of twice their
// wire time plus a second and then wait for the transmitter to empty. A port whose driver has no
// modem lines (under Wine, a pseudo-terminal behind a COM port: the line calls fail with
// ERROR_NOT_SUPPORTED) gets the lines of a null-modem loopback and runs without parity, as on Linux.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/clock.h"
#include "ports/kinds.h"
#include "ports/port.h"
#include "ports/win32_line.h"

namespace ports {
namespace {

std::string SystemText(DWORD code) {
  char text[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                 sizeof text, nullptr);
  std::string s = text;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
    s.pop_back();
  return s.empty() ? "error " + std::to_string(code) : s;
}

bool Unsupported(DWORD code) { return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION; }

class Win32Device final : public SerialDevice {
 public:
  explicit Win32Device(HANDLE h) : h_(h) {
    DWORD status = 0;
    loopback_ = !GetCommModemStatus(h_, &status) && Unsupported(GetLastError());
  }
  ~Win32Device() override { Close(); }

  bool GetConfig(PortConfig& config) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!Open() || !GetCommState(h_, &dcb)) return false;
    config.baud = dcb.BaudRate;
    config.data_bits = dcb.ByteSize;
    config.parity = parity_dropped_            ? wanted_parity_
                    : dcb.Parity == EVENPARITY ? kEvenParity
                    : dcb.Parity == ODDPARITY  ? kOddParity
                                               : kNoParity;
    config.stop_bits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
    return true;
  }

  bool SetConfig(const PortConfig& config) override {
    if (!Open()) return false;
    wanted_parity_ = config.parity;
    if (!Apply(config, config.parity)) {
      // A pseudo-terminal cannot keep parity; there, and only there, the line goes without it.
      if (!loopback_ || config.parity == kNoParity || !Apply(config, kNoParity)) return false;
      parity_dropped_ = true;
    } else if (parity_dropped_ && config.parity != kNoParity) {
      parity_dropped_ = false;
    }
    baud_ = config.baud;
    return SetTimeouts(timeouts_);
  }

  bool SetTimeouts(const CommTimeouts& t) override {
    if (!Open()) return false;
    timeouts_ = t;
    COMMTIMEOUTS c{};
    c.ReadIntervalTimeout = t.ReadIntervalTimeout;
    c.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
    c.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
    // Twice the wire time of 11 bits a character, plus a second.
    c.WriteTotalTimeoutMultiplier = DWORD((22000 + baud_ - 1) / (baud_ ? baud_ : 1));
    c.WriteTotalTimeoutConstant = 1001;
    return SetCommTimeouts(h_, &c) != 0;
  }

  bool Purge(uint32_t flags) override { return Open() && PurgeComm(h_, flags) != 0; }

  bool ClearError(uint32_t& errors) override {
    DWORD e = 0;
    COMSTAT stat{};
    if (!Open() || !ClearCommError(h_, &e, &stat)) return false;
    errors = e | errors_seen_;
    errors_seen_ = 0;
    return true;
  }

  bool Escape(uint32_t function) override {
    if (!Open()) return false;
    if (loopback_) return lines_.Escape(function);
    if (!EscapeCommFunction(h_, function)) return false;
    if (function == kSetDtr || function == kClrDtr) dtr_ = function == kSetDtr;
    if (function == kSetRts || function == kClrRts) rts_ = function == kSetRts;
    return true;
  }

  bool ModemStatus(uint32_t& bits) override {
    if (!Open()) return false;
    if (loopback_) {
      bits = lines_.Status();
      return true;
    }
    DWORD status = 0;
    if (!GetCommModemStatus(h_, &status)) return false;
    bits = status;
    return true;
  }

  bool Read(void* buffer, uint32_t wanted, uint32_t& got) override {
    DWORD n = 0;
    got = 0;
    if (!Open() || !ReadFile(h_, buffer, wanted, &n, nullptr)) return false;
    got = n;
    return true;
  }

  bool Write(const void* data, uint32_t count, uint32_t& written) override {
    DWORD n = 0;
    written = 0;
    if (!Open() || !WriteFile(h_, data, count, &n, nullptr)) return false;
    written = n;
    if (n != count) return false;
    // Waits until the driver has sent them, where it can tell. A driver that cannot flush has still
    // taken every character: the write succeeded (they were handed to the driver).
    FlushFileBuffers(h_);
    return true;
  }

  bool SetBreak() override { return Open() && SetCommBreak(h_) != 0; }
  bool ClearBreak() override { return Open() && ClearCommBreak(h_) != 0; }

  bool WaitEvent(uint32_t& mask) override {
    // Writes return with the transmitter empty (FlushFileBuffers): nothing is left to wait for.
    mask = kEvTxEmpty;
    return Open();
  }

  bool WaitForData(uint32_t ms) override {
    if (!Open()) return false;
    const uint64_t end = platform::TickMs() + ms;
    for (;;) {
      DWORD e = 0;
      COMSTAT stat{};
      if (!ClearCommError(h_, &e, &stat)) return false;
      errors_seen_ |= e;
      if (stat.cbInQue > 0 || platform::TickMs() >= end) return true;
      platform::Sleep(1);
    }
  }

  const char* Notice() const override {
    if (loopback_ && parity_dropped_)
      return "port without modem lines: they are those of a null-modem loopback (CTS follows RTS, DSR "
             "follows DTR, DCD on), and the line goes without parity";
    if (loopback_)
      return "port without modem lines: they are those of a null-modem loopback (CTS follows RTS, DSR "
             "follows DTR, DCD on)";
    return nullptr;
  }

  bool Close() override {
    if (h_ == INVALID_HANDLE_VALUE) return false;
    const bool ok = CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  bool Open() const { return h_ != INVALID_HANDLE_VALUE; }

  bool Apply(const PortConfig& config, uint8_t parity) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h_, &dcb)) return false;
    // A new setting keeps DTR and RTS as the last EscapeCommFunction left them.
    FillDcb(dcb, config, parity, dtr_, rts_);
    return SetCommState(h_, &dcb) != 0;
  }

  HANDLE h_;
  CommTimeouts timeouts_{};
  uint32_t baud_ = 9600;
  uint8_t wanted_parity_ = kEvenParity;
  bool loopback_ = false, parity_dropped_ = false;
  bool dtr_ = false, rts_ = false;
  uint32_t errors_seen_ = 0;  // line errors that a wait for data cleared, kept for ClearError
  LoopbackLines lines_;
};

}  // namespace

bool LoopbackLinesAllowed(bool on_wine, const char* loopback_variable) {
  return on_wine || (loopback_variable && std::string(loopback_variable) == "1");
}

bool RunningOnWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void FillDcb(DCB& dcb, const PortConfig& line, uint8_t parity, bool dtr, bool rts) {
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = line.baud;
  dcb.ByteSize = BYTE(line.data_bits);
  dcb.Parity = parity == kEvenParity ? EVENPARITY : parity == kOddParity ? ODDPARITY : NOPARITY;
  dcb.StopBits = line.stop_bits == 2 ? TWOSTOPBITS : ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = parity != kNoParity;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  dcb.fDummy2 = 0;
  dcb.wReserved = 0;
  dcb.XonLim = 0;
  dcb.XoffLim = 0;
  // XON and XOFF must differ, or SetCommState refuses the block; with XON/XOFF off they are unused.
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.ErrorChar = 0;
  dcb.EofChar = 0;
  dcb.EvtChar = 0x0D;
  dcb.wReserved1 = 0;
}

std::unique_ptr<SerialDevice> OpenSystemDevice(const std::string& name) {
  // "COM5:" is the usual way of writing COM5.
  const std::string bare = !name.empty() && name.back() == ':' ? name.substr(0, name.size() - 1) : name;
  const std::string path = bare.rfind("\\\\.\\", 0) == 0 ? bare : "\\\\.\\" + bare;
  const HANDLE h =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    std::string why = path + ": " + SystemText(code);
    if (code == ERROR_ACCESS_DENIED) why += " (another program may hold the port)";
    SetOpenFailure(why);
    return nullptr;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) {
    SetOpenFailure(path + ": not a serial port (" + SystemText(GetLastError()) + ")");
    CloseHandle(h);
    return nullptr;
  }
  DWORD status = 0;
  if (!GetCommModemStatus(h, &status)) {
    const DWORD code = GetLastError();
    if (!Unsupported(code) ||
        !LoopbackLinesAllowed(RunningOnWine(), std::getenv("KESTRAVO_LOOPBACK_LINES"))) {
      SetOpenFailure(path + ": the driver gives no modem lines (" + SystemText(code) +
                     "); KESTRAVO_LOOPBACK_LINES=1 uses those of a null-modem loopback");
      CloseHandle(h);
      return nullptr;
    }
  }
  return std::make_unique<Win32Device>(h);
}

}  // namespace ports
