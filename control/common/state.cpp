#include "control/common/state.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/port_names.h"
#include "platform/files.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {

ProgramState State;

namespace {

// One line on standard error with the device COM n names and why it could not be opened (a port
// given by name is named in the reason itself).
void ExplainOpenFailure() {
  const char* why = COM_KESTRAVO_GetOpenFailureReason(State.PortNumber);
  if (!why || !*why) return;
  if (State.PortName.empty())
    ErrorLine("COM%u: %s\n", State.ComNumber, Printable(why).c_str());
  else
    ErrorLine("%s\n", Printable(why).c_str());
}

// Opens the slot on the port of the run: a port by its name, or COM n. A number outside 1 to 255
// never reaches the library (which would take its low 8 bits and open another port): it fails as
// COM 0 does. Says on standard error which device an unmapped COM number falls back to.
int32_t OpenSlot(std::string& target) {
  if (!State.PortName.empty()) {
    target = State.PortName;
    return COM_KESTRAVO_OpenPort(State.PortNumber, State.PortName.c_str());
  }
  const uint8_t com = State.ComNumber <= 255 ? uint8_t(State.ComNumber) : 0;
  bool fallback = false;
  target = com ? ComTarget(com, fallback) : "";
  if (fallback)
    ErrorLine("COM%u: KESTRAVO_COM%u is not set: opening %s\n", State.ComNumber, State.ComNumber,
              Printable(target).c_str());
  return COM_KESTRAVO_Open(State.PortNumber, com);
}

}  // namespace

void ErrorLine(const char* format, ...) {
  std::fflush(stdout);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

void NoteFailure(Failure what, const std::string& line) {
  JsonError(what, line);
  if (!State.strict) return;
  // Under --json the line went to standard error already.
  if (!State.json) ErrorLine("%s", line.c_str());
  if (State.failure == 0) State.failure = what;
  State.run = false;
}

void NoteFailure(Failure what, const std::string& line, const std::string& error_line) {
  JsonError(what, line);
  ErrorLine("%s", error_line.c_str());
  if (!State.strict) return;
  if (State.failure == 0) State.failure = what;
  State.run = false;
}

void DebugFileError() {
  const std::string line =
      Printable(State.trace_file) + ": " + COM_KESTRAVO_GetErrorMessage(State.PortNumber) + "\n";
  if (State.strict)
    NoteFailure(kFailedFile, line);
  else
    ErrorLine("%s", line.c_str());
}

void OpenTraceFile() {
  if (State.trace_named && !State.yes && platform::Exists(State.trace_file)) {
    const std::string line =
        Printable(State.trace_file) + ": the file exists and is kept (--yes replaces it)\n";
    if (State.strict)
      NoteFailure(kFailedFile, line);
    else
      ErrorLine("%s", line.c_str());
    return;
  }
  if (COM_KESTRAVO_OpenDebugFile(State.PortNumber, State.trace_file.c_str()) != 0) DebugFileError();
}

std::string PortLabel() {
  return State.PortName.empty() ? "COM" + std::to_string(State.ComNumber) : Printable(State.PortName);
}

bool StrictRunFailed() { return State.strict && State.failure != 0; }

namespace {

void OpenOnce() {
  if (State.opened) return;
  State.opened = true;
  if (State.PortName.empty() && (State.ComNumber == 0 || State.ComNumber > 255))
    Print("Wrong COMNumber specified: %u, allowed range: 1..255\n", State.ComNumber);
  if (State.debug) {
    State.quiet = false;
    Print("Checking DLL Version...\n");
  }
  uint16_t version = COM_KESTRAVO_GetSWVersion();
  unsigned short major = version >> 8, minor = version & 0xFF;
  if (version < 0x0100) {
    Print("Wrong DLL Version, expected 1.00 or later, found %hu.%02hu\n", major, minor);
    NoteFailure(kFailedOpening, "Wrong DLL Version\n");
    State.run = false;
    return;
  }
  if (State.debug) {
    Print("DLL Version: %hu.%02hu\n", major, minor);
    Print("Opening %s for the communication port %hu...\n", PortLabel().c_str(), State.PortNumber);
  }
  std::string target;
  if (OpenSlot(target) != 0) {
    Print("%s\n", COM_KESTRAVO_GetErrorMessage(State.PortNumber));
    NoteFailure(kFailedOpening, std::string(COM_KESTRAVO_GetErrorMessage(State.PortNumber)) + "\n");
    if (COM_KESTRAVO_GetInterfaceState(State.PortNumber) == COM_KESTRAVO_OPEN_FAILED) ExplainOpenFailure();
    State.run = false;
    return;
  }
  if (!State.quiet)
    Print("%s opened for the communication port %hu\n", PortLabel().c_str(), State.PortNumber);
  if (State.debug && State.PortName.empty())
    ErrorLine("COM%u: %s\n", State.ComNumber, Printable(target).c_str());
}

}  // namespace

bool OpenDevicePort() {
  OpenOnce();
  return !StrictRunFailed();
}

void ClosePort() {
  // A strict run that failed before its port was opened has no port to close.
  if (State.opened || !StrictRunFailed()) {
    if (State.debug) Print("Closing the communication port...\n");
    if (COM_KESTRAVO_Close(State.PortNumber) != 0)
      Print("%s\n", COM_KESTRAVO_GetErrorMessage(State.PortNumber));
    if (State.debug) Print("Communication port closed\n");
  }
  // Only a debug file that was open and did not close is worth a line: a slot out of range has
  // none.
  if (COM_KESTRAVO_CloseDebugFile(State.PortNumber) == COM_KESTRAVO_DEBUG_CLOSE_FAILED) DebugFileError();
  if (!State.quiet) Print("Program finished");
}

}  // namespace control
