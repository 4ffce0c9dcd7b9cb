// The panel's command line:
// COM-KESTRAVO-Panel [--listen ADDRESS] [--port N] [--allow-host NAME]... [--token-file FILE]
//                    [--log FILE] [--read-only] PORT
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace panel {

struct Options {
  std::string address = "127.0.0.1";       // where to listen
  uint16_t port = 0;                       // 0: any free port
  std::vector<std::string> allowed_hosts;  // further names browsers may use to reach it
  std::string token_file;                  // keeps one token across starts
  std::string log_file;                    // the audit log of changes
  bool read_only = false;
  bool help = false;
  bool version = false;
  std::string device;  // a COM number, a device path, sim, sim:<file> or rfc2217://host:port
  std::string error;   // what did not read: "ARGUMENT: why"
};

// False when the arguments do not read, with what in out.error (the usage then goes to standard
// error).
bool ParseOptions(int argc, char** argv, Options& out);
// The usage text, on out: standard output for --help, standard error after a wrong argument.
void PrintUsage(std::FILE* out);

}  // namespace panel
