#include "control/cmdline.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "COM-KESTRAVO.h"
#include "control/command.h"
#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/port_names.h"
#include "control/common/state.h"
#include "control/keyloop.h"
#include "control/texts.h"
#include "model/version.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

constexpr int kHighestChannel = 15;

// The usage output; with failed_index 0 and more than one argument no error line is printed.
int Usage(int argc, char** argv, int failed_index) {
  char name[260];
  ProgramName(argv[0] ? argv[0] : "", name, sizeof name);
  Print("%s", name);
  Print(" ver. 1-00, compilation date: Jun 30 2021\n");
  Print("Control program for the KESTRAVO pulse generator, simulated device included\n");
  if (argc > 1 && failed_index > 0)
    Print("\nError parsing argument #%d: %s\n", failed_index,
          failed_index < argc ? argv[failed_index] : "argument not available");
  Print("\nUsage: %s", name);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  Print(kUsageText, kHighestChannel);
#pragma GCC diagnostic pop
  COM_KESTRAVO_CloseDebugFile(State.PortNumber);
  return -1;
}

// A strict run's argument error: the error line on standard output and standard error, a pointer
// to --help instead of the usage text, then the normal closing. The status is the run's first
// failure (an opening that failed before comes first).
int StrictArgumentError(int argc, char** argv, int failed_index) {
  char line[1024];
  std::snprintf(line, sizeof line, "Error parsing argument #%d: %s\n", failed_index,
                failed_index < argc ? argv[failed_index] : "argument not available");
  Print("%s", line);
  NoteFailure(kFailedArgument, line);
  char name[260];
  ErrorLine("Try '%s --help' for more information.\n",
            ProgramName(argv[0] ? argv[0] : "", name, sizeof name));
  if (State.opened)
    ClosePort();
  else
    COM_KESTRAVO_CloseDebugFile(State.PortNumber);
  return State.failure;
}

// The command line did not parse: the usage output and -1, or in a strict run the error alone.
// Under --json the error is an object on standard output too.
int ArgumentError(int argc, char** argv, int failed_index) {
  State.switch_text = failed_index < argc ? argv[failed_index] : "";
  if (State.strict) return StrictArgumentError(argc, argv, failed_index);
  char line[1024];
  std::snprintf(line, sizeof line, "Error parsing argument #%d: %s", failed_index,
                failed_index < argc ? argv[failed_index] : "argument not available");
  JsonError(kFailedArgument, line);
  return Usage(argc, argv, failed_index);
}

// --interval SECONDS: a decimal number of seconds from 0 to a day, to the millisecond.
bool ScanInterval(const char* text, int64_t& ms) {
  uint64_t whole = 0, fraction = 0, scale = 1000;
  const char* p = text;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
    if ((whole = whole * 10 + uint64_t(*p - '0')) > 86400) return false;
  if (*p == '.')
    for (++p; std::isdigit(static_cast<unsigned char>(*p)); ++p)
      if (scale > 1) fraction += uint64_t(*p - '0') * (scale /= 10);
  if (*p != 0 || whole * 1000 + fraction > 86400000) return false;
  ms = int64_t(whole * 1000 + fraction);
  return true;
}

// The options for scripts at argv[i], before or after the port: how many arguments they take (0:
// none, argv[i] is no option; -1: an option whose value is missing or wrong). --trace FILE is -G
// writing its trace to FILE.
int TakeOption(int argc, char** argv, int i) {
  const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
  if (std::strcmp(argv[i], "--strict") == 0)
    State.strict = true;
  else if (std::strcmp(argv[i], "--yes") == 0)
    State.yes = true;
  else if (std::strcmp(argv[i], "--json") == 0)
    State.json = true;
  else if (std::strcmp(argv[i], "--trace") == 0 && next) {
    State.debug = State.trace_named = true;
    State.trace_file = next;
    return 2;
  } else if (std::strcmp(argv[i], "--interval") == 0) {
    return next && ScanInterval(next, State.interval_ms) ? 2 : -1;
  } else if (std::strcmp(argv[i], "--count") == 0) {
    return next && ScanComNumber(next, State.count) && State.count > 0 ? 2 : -1;
  } else
    return 0;
  return 1;
}

}  // namespace

bool ScanComNumber(const char* text, uint32_t& out) {
  // As "%hu" reads it (leading blanks, digits up to the first other character), but neither a
  // minus sign nor a number beyond 32 bits is taken: they would wrap to another port.
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (*p == '+') ++p;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  uint64_t v = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
    v = v * 10 + uint64_t(*p - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  out = uint32_t(v);
  return true;
}

const char* ProgramName(const char* path, char* buffer, unsigned size) {
  const char* start = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') start = p + 1;
  size_t n = std::strcspn(start, ".");
  if (n >= size) n = size - 1;
  std::memcpy(buffer, start, n);
  buffer[n] = 0;
  return buffer;
}

int RunProgram(int argc, char** argv) {
  State = ProgramState{};
  platform::SendTextToStandardError(false);
  if (argc > 0 && argv[0] && *argv[0]) {
    char name[260];
    State.program = ProgramName(argv[0], name, sizeof name);
  }
  // Options for scripts come before the port or anywhere among the switches; either way they hold
  // for the whole run. (A file whose name is an option's is named with ./ before it.) One whose
  // value is wrong fails the command line before anything is sent.
  int port = 1, wrong = 0;
  while (port < argc) {
    const int taken = TakeOption(argc, argv, port);
    if (taken < 0) wrong = port;
    if (taken <= 0) break;
    port += taken;
  }
  for (int i = port + 1; i < argc && !wrong; ++i) {
    const int taken = TakeOption(argc, argv, i);
    if (taken < 0) wrong = i;
    i += std::max(taken - 1, 0);
  }
  platform::SendTextToStandardError(State.json);
  if (wrong) return ArgumentError(argc, argv, wrong);
  if (port >= argc) return State.strict ? StrictArgumentError(argc, argv, port) : Usage(argc, argv, 0);
  // The long options of a packaged program, in the place of the COM number (-h too: it cannot be a port).
  if (std::strcmp(argv[port], "--help") == 0 || std::strcmp(argv[port], "-h") == 0) {
    platform::SendTextToStandardError(false);  // the help is for reading, also after --json
    Usage(argc, argv, 0);
    Print("%s", kPortsHelpText);
    return 0;
  }
  if (std::strcmp(argv[port], "--version") == 0) {
    platform::SendTextToStandardError(false);
    char name[260];
    Print("%s\n", model::VersionLine(ProgramName(argv[0] ? argv[0] : "", name, sizeof name)).c_str());
    return 0;
  }
  if (std::strcmp(argv[port], "--list") == 0) {
    // --list [ROOT]: the ports of the machine, or of a machine image below ROOT. A ROOT that is not
    // there is an argument error (status 4, as --strict numbers them), said on standard error.
    const std::string root = port + 1 < argc ? argv[port + 1] : "";
    if (!ListPorts(root)) {
      char name[260];
      ErrorLine("%s: --list: %s: no such file or directory\n",
                ProgramName(argv[0] ? argv[0] : "", name, sizeof name), Printable(root).c_str());
      return 4;
    }
    return 0;
  }
  if (IsPortName(argv[port]))
    State.PortName = argv[port];
  else if (!ScanComNumber(argv[port], State.ComNumber))
    return ArgumentError(argc, argv, port);
  if (State.trace_named) OpenTraceFile();  // --trace FILE: the trace from the first switch on
  for (int i = port + 1; i < argc && State.run && !platform::TerminalInterrupted(); ++i) {
    if (int taken = TakeOption(argc, argv, i); taken > 0) {
      i += taken - 1;
      continue;
    }
    int failed = RunSwitch(argc, argv, i);
    if (failed) return ArgumentError(argc, argv, failed);
  }
  // A signal ends the running command and goes straight to the closing.
  if (!platform::TerminalInterrupted() && !StrictRunFailed()) OpenDevicePort();
  if (State.run && !platform::TerminalInterrupted()) KeyLoop();
  ClosePort();
  return State.failure;
}

int Main(int argc, char** argv) {
  platform::TerminalStart();
  int status = RunProgram(argc, argv);
  std::fflush(stdout);
  platform::TerminalRestore();
  // An interrupted program has still closed its port in order; the shell learns of the signal.
  if (int sig = platform::TerminalInterruptSignal()) return 128 + sig;
  return status;
}

}  // namespace control
