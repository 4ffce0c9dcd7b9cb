// Opening a slot and keeping the link in a known state: the DTR/RTS and DSR/DCD/CTS handshake,
// purge, repair, data-rate change and restart.
#include <cstdio>

#include "link/link.h"
#include "link/scan.h"
#include "platform/clock.h"

namespace kestravo {
namespace {

constexpr int kPolls = 1000;

const char* YN(int v) { return v ? "Y" : "N"; }

struct LineTexts {
  const char* status_failed;  // a failed Status
  const char* not_connected;  // DSR or DCD off, with the two as "%s"
};
const LineTexts kCheckIfcTexts = {"CheckIfc: Error getting status\n",
                                  "CheckIfc: device not connected - DSR=%s, DCD=%s\n"};
const LineTexts kPurgeTexts = {"COM_KESTRAVO_Purge: Error reading the port status lines\n",
                               "COM_KESTRAVO_Purge: Device not connected - DSR=%s, DCD=%s\n"};

// Waits up to 1000 polls of 1 ms for DSR and DCD both on.
int32_t WaitConnected(COMPort& p, const LineTexts& texts) {
  int cts = 0, dsr = 0, ri = 0, dcd = 0;
  for (int i = 0; i < kPolls; ++i) {
    if (!p.Status(cts, dsr, ri, dcd)) {
      p.Message("%s", texts.status_failed);
      return kStatusFailed;
    }
    if (dsr && dcd) return kOk;
    platform::Sleep(1);
  }
  p.Message(texts.not_connected, YN(dsr), YN(dcd));
  return kNotConnected;
}

// Waits up to 1000 polls of 1 ms, while the device stays connected, for CTS to reach `want`.
// Returns kOk when it did, kNotReady when the polls ran out.
int32_t WaitCts(COMPort& p, const LineTexts& texts, int want) {
  int cts = 0, dsr = 0, ri = 0, dcd = 0;
  for (int i = 0; i < kPolls; ++i) {
    if (!p.Status(cts, dsr, ri, dcd)) {
      p.Message("%s", texts.status_failed);
      return kStatusFailed;
    }
    if (!dsr || !dcd) {
      p.Message(texts.not_connected, YN(dsr), YN(dcd));
      return kNotConnected;
    }
    if (cts == want) return kOk;
    platform::Sleep(1);
  }
  return kNotReady;
}

// One "$" exchange that yields the device's data rate; text names the step in the messages.
int32_t BaudRateExchange(uint16_t port, const char* data, const char* step, uint32_t& rate) {
  COMPort& p = Ports[port];
  int32_t r = data ? WriteCommand(port, '$', data) : WriteCommand(port, '$');
  if (r != kOk) {
    p.Message("COM_KESTRAVO_SetBaudRate::%s: WriteCommand failed\n", step);
    return r;
  }
  r = ReadCommand(port, '$', 5);
  if (r != kOk) {
    p.Message("COM_KESTRAVO_SetBaudRate::%s: ReadCommand failed, data='%s'\n", step, Replies[port].text);
    return r;
  }
  if (!ScanHex32(Replies[port].text, 5, rate)) {
    p.Message(
        "COM_KESTRAVO_SetBaudRate::%s: Wrong argument received: BaudRate='%s' - Cannot obtain parameter "
        "BaudRate\n",
        step, Replies[port].text);
    return kWrongArgument;
  }
  return kOk;
}

int32_t ChangeBaudRate(uint16_t port, uint32_t& BaudRate) {
  COMPort& p = Ports[port];
  p.Message("COM_KESTRAVO_SetBaudRate: Setting device baud rate=%u\n", BaudRate);
  std::snprintf(Replies[port].text, sizeof Replies[port].text, "%05X", BaudRate);
  uint32_t echoed = 0;
  int32_t r = BaudRateExchange(port, Replies[port].text, "Setting", echoed);
  if (r != kOk) return r;

  p.Message("COM_KESTRAVO_SetBaudRate: Waiting for DSR & DCD\n");
  int cts = 0, dsr = 0, ri = 0, dcd = 0;
  bool connected = false;
  for (int i = 0; i < kPolls && !connected; ++i) {
    if (!p.Status(cts, dsr, ri, dcd)) {
      p.Message("COM_KESTRAVO_SetBaudRate: Error getting status\n");
      return kStatusFailed;
    }
    p.Message("COM_KESTRAVO_SetBaudRate: DSR=%u, DCD=%u\n", unsigned(dsr), unsigned(dcd));
    connected = dsr && dcd;
    if (!connected) platform::Sleep(1);
  }
  if (!connected) {
    p.Message("COM_KESTRAVO_SetBaudRate: Timeout waiting for DSR & DCD\n");
    return kNotReady;
  }

  p.Message("COM_KESTRAVO_SetBaudRate: Setting UART baud rate=%u\n", BaudRate);
  if (!p.SetBaudRate(BaudRate)) {
    p.Message("COM_KESTRAVO_SetBaudRate::SetBaudRate: Error setting the baud rate\n");
    return kBaudRateFailed;
  }
  if (!p.Control(true, true)) {
    p.Message("COM_KESTRAVO_SetBaudRate::Handshake: Error setting the port control lines\n");
    return kControlFailed;
  }

  p.Message("COM_KESTRAVO_SetBaudRate: Getting device baud rate\n");
  uint32_t rate = 0;
  r = BaudRateExchange(port, nullptr, "Getting", rate);
  if (r != kOk) return r;
  BaudRate = rate;
  return kOk;
}

}  // namespace

int32_t CheckIfc(uint16_t port) {
  COMPort& p = Ports[port];
  int32_t r = WaitConnected(p, kCheckIfcTexts);
  if (r == kOk) {
    r = WaitCts(p, kCheckIfcTexts, 1);
    if (r == kNotReady) p.Message("CheckIfc: device not ready - CTS=false\n");
  }
  return Store(port, r);
}

int32_t Repair(uint16_t port) {
  COMPort& p = Ports[port];
  p.Message("Repairing communication\n");
  if (COM_KESTRAVO_Purge(port) == kOk) {
    int32_t purged = 0;
    if (COM_KESTRAVO_DevicePurge(port, &purged) != kOk)
      p.Message("Port purge failed!\n");
    else
      p.Message("Port %spurged\n", purged ? "" : "not ");
  }
  return InterfaceState[port];
}

int32_t RepairRepeatedly(uint16_t port) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    int32_t r = Repair(port);
    // The handshake worked and only the device's answer was missing or wrong: repeating won't help.
    if (r == kOk || (r <= kReceiveCommand && r >= kWrongArgument)) break;
    platform::Sleep(500);
  }
  return InterfaceState[port];
}

}  // namespace kestravo

using namespace kestravo;

extern "C" {

int32_t COM_KESTRAVO_Open(uint16_t PortNumber, uint8_t ComNumber) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  COMPort& p = Ports[PortNumber];
  p.Message("COM_KESTRAVO_Open: PortNumber=%hu, ComNumber=%hu\n", PortNumber,
            static_cast<unsigned short>(ComNumber));
  if (!p.Open(ComNumber)) {
    p.Message("COM_Open: Error opening the port as COM%d\n", int(ComNumber));
    return Store(PortNumber, kOpenFailed);
  }
  return Store(PortNumber, RepairRepeatedly(PortNumber));
}

int32_t COM_KESTRAVO_OpenPort(uint16_t PortNumber, const char* Port) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  COMPort& p = Ports[PortNumber];
  if (!Port) return Store(PortNumber, kBadArgument);
  p.Message("COM_KESTRAVO_OpenPort: PortNumber=%hu, Port=%s\n", PortNumber, Port);
  if (!p.OpenNamed(Port)) {
    p.Message("COM_Open: Error opening the port %s\n", Port);
    return Store(PortNumber, kOpenFailed);
  }
  return Store(PortNumber, RepairRepeatedly(PortNumber));
}

int32_t COM_KESTRAVO_Close(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  COMPort& p = Ports[PortNumber];
  p.Message("COM_KESTRAVO_Close: PortNumber=%hu", PortNumber);
  return Store(PortNumber, p.Close() ? kOk : kCloseFailed);
}

int32_t COM_KESTRAVO_Purge(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  COMPort& p = Ports[PortNumber];
  if (!p.Control(true, false)) {
    p.Message("COM_KESTRAVO_Purge: Error setting the port status lines\n");
    return Store(PortNumber, kControlFailed);
  }
  int32_t r = WaitConnected(p, kPurgeTexts);
  if (r != kOk) return Store(PortNumber, r);
  // The device answers RTS off by dropping CTS; when it does not, it still counts as ready.
  r = WaitCts(p, kPurgeTexts, 0);
  if (r != kOk && r != kNotReady) return Store(PortNumber, r);
  const bool still_ready = r == kNotReady;
  platform::Sleep(100);
  if (!p.SetBaudRate(9600)) {
    p.Message("COM_KESTRAVO_Purge::SetBaudRate: Error setting the baud rate\n");
    return Store(PortNumber, kBaudRateFailed);
  }
  if (still_ready) {
    p.Control(true, true);
    p.Message("COM_KESTRAVO_Purge: Device state could not be set to not ready\n");
    return Store(PortNumber, kStillReady);
  }
  if (!p.Purge()) {
    p.Control(true, true);
    p.Message("COM_KESTRAVO_Purge: Error purging the port\n");
    return Store(PortNumber, kPurgeFailed);
  }
  if (!p.Control(true, true)) {
    p.Message("COM_KESTRAVO_Purge: Error setting the port control lines\n");
    return Store(PortNumber, kControlFailed);
  }
  return CheckIfc(PortNumber);
}

int32_t COM_KESTRAVO_DevicePurge(uint16_t PortNumber, int32_t* Purged) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  int32_t r = WriteCommand(PortNumber, 'z');
  if (r != kOk) return r;
  int32_t flag = 0;
  r = ReadCommandBool(PortNumber, 'z', flag);
  if (r == kOk && Purged) *Purged = flag;
  return r;
}

int32_t COM_KESTRAVO_GetBufferState(uint16_t PortNumber, int32_t* Empty) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  int32_t r = WriteCommand(PortNumber, 'Z');
  if (r != kOk) return r;
  int32_t flag = 0;
  r = ReadCommandBool(PortNumber, 'Z', flag);
  if (r == kOk && Empty) *Empty = flag;
  return r;
}

int32_t COM_KESTRAVO_SetBaudRate(uint16_t PortNumber, uint32_t* BaudRate) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  if (!BaudRate) return Store(PortNumber, kBadArgument);
  uint32_t rate = *BaudRate;
  int32_t r = Store(PortNumber, ChangeBaudRate(PortNumber, rate));
  if (r == kOk) {
    *BaudRate = rate;
    return r;
  }
  // Both ends go back to 9600 baud. A successful recovery does not make the change a success:
  // the caller gets the code of the step that failed, or the purge's own when it fails as well.
  int32_t purge = COM_KESTRAVO_Purge(PortNumber);
  return Store(PortNumber, purge != kOk ? purge : r);
}

int32_t COM_KESTRAVO_Restart(uint16_t PortNumber) {
  const SlotLock slot_lock(PortNumber);
  if (BadPort(PortNumber)) return kPortNumberRange;
  COMPort& p = Ports[PortNumber];
  int32_t r = WriteCommand(PortNumber, '#');
  if (r != kOk) return r;
  r = ReadCommand(PortNumber, '#', 0);
  if (r != kOk) return r;
  platform::Sleep(100);
  if (!p.SetBaudRate(9600)) {
    p.Message("COM_KESTRAVO_Restart::SetBaudRate: Error setting the baud rate\n");
    return Store(PortNumber, kBaudRateFailed);
  }
  if (!p.Control(true, true)) {
    p.Message("COM_KESTRAVO_Restart::Open: Error setting the control lines of the port\n");
    return Store(PortNumber, kControlFailed);
  }
  for (int i = 0; i < 20; ++i) {
    platform::Sleep(10);
    int32_t purged = 0;
    if (COM_KESTRAVO_DevicePurge(PortNumber, &purged) == kOk && purged) return kOk;
  }
  int32_t purged = 0;
  return COM_KESTRAVO_DevicePurge(PortNumber, &purged);
}

}  // extern "C"
