// The device control block of a Windows serial port, filled completely for the line: drivers keep
// a port's settings from one program to the next, so no field is left as the last one had it.
#pragma once
#include <windows.h>

#include "ports/port.h"

namespace ports {

// Every field of dcb for the line with the given parity: binary mode, parity checking as the parity
// says, no flow control of any kind (CTS, DSR, XON/XOFF), transmission going on after an XOFF, no
// error-character replacement, no null stripping, no abort on errors, XON and XOFF limits 0, the
// XON and XOFF characters 11h and 13h (they must differ, or the driver refuses the block), error and
// end-of-file characters 0, the event character 0Dh. DTR and RTS stay as dtr and rts say (they
// change only by EscapeCommFunction).
void FillDcb(DCB& dcb, const PortConfig& line, uint8_t parity, bool dtr, bool rts);

// Whether a port whose driver refuses the modem-line calls gets the lines of a null-modem loopback:
// under Wine, where such a port is a pseudo-terminal, or when the user asks for it
// (KESTRAVO_LOOPBACK_LINES=1). A real driver without modem lines could never report a device that
// is not connected or not ready, so elsewhere the opening fails.
bool LoopbackLinesAllowed(bool on_wine, const char* loopback_variable);
// Whether this process runs under Wine (its ntdll exports wine_get_version).
bool RunningOnWine();

}  // namespace ports
