// The program state of the console program and the once-only opening of its port.
#pragma once
#include <cstdint>
#include <string>

namespace control {

struct ProgramState {
  uint32_t ComNumber = 0;  // as typed; only 1 to 255 reach the library
  std::string PortName;    // a port named in place of the COM number ("" when a number was given)
  uint16_t PortNumber = 0;
  bool run = true;
  bool quiet = false;
  // Where -G writes the library's trace: "Debug.txt" in the current folder (replaced, as it always
  // was), or a file named by -G FILE or --trace FILE (kept when it exists, unless --yes).
  std::string trace_file = "Debug.txt";
  bool trace_named = false;
  bool debug = false;
  bool opened = false;
  // Options for scripts, given before the port or among the switches: the first failure ends the program with
  // a status that says what failed (strict); the y/n questions of restore and the configuration commands are
  // answered yes (yes).
  bool strict = false;
  bool yes = false;
  // --json: the readings as JSON Lines on standard output, the text for people on standard error.
  bool json = false;
  // --interval SECONDS and --count N: the pace and the number of passes of the continuous displays
  // and the data log (interval_ms < 0: each display's own pace; count 0: until Esc).
  int64_t interval_ms = -1;
  uint32_t count = 0;
  std::string switch_text;                       // the switch being run, as typed ("" for keys)
  std::string program = "COM-KESTRAVO-Control";  // as the error lines on standard error name it
  int failure = 0;                               // the Failure of a strict run, or 0
};

// The exit statuses of a strict run.
enum Failure : int {
  kFailedOpening = 2,     // the port did not open
  kFailedDeviceCall = 3,  // a library call failed
  kFailedArgument = 4,    // the command line did not parse
  kFailedFile = 5,        // a file could not be read or written
};
// A line on standard error, after what standard output holds, so that the two keep their order.
void ErrorLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// In a strict run: the first failure ends the run (no further switch, no key loop) and sets the
// exit status; the failure's line goes to standard error too. Nothing otherwise.
void NoteFailure(Failure what, const std::string& line);
// The same, with a line of its own for standard error ("program: what: reason"), written in every
// run in place of the copy of the line.
void NoteFailure(Failure what, const std::string& line, const std::string& error_line);

// The port as the program's lines name it: "COM<n>", or the name given in place of the number.
std::string PortLabel();

// The debug file "Debug.txt" could not be opened or closed: a line on standard error (a failure of
// a strict run).
void DebugFileError();
// Starts the library's trace of the slot in State.trace_file. A file the user named that exists is
// kept, unless --yes: a line on standard error (a failure of the file under --strict).
void OpenTraceFile();

extern ProgramState State;

// Opens the port the first time it is called: checks the library version, then COM_KESTRAVO_Open.
// True when the switch that asked may run its operation: always, except in a strict run that has
// failed (after a failed opening a strict run sends nothing more to the device).
bool OpenDevicePort();
// A strict run has failed: nothing more is sent or written, the program goes to its closing.
bool StrictRunFailed();
// The closing sequence after the key loop (or at once when the run flag is clear).
void ClosePort();

}  // namespace control
