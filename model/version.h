#ifndef KESTRAVO_MODEL_VERSION_H
#define KESTRAVO_MODEL_VERSION_H

#include <string>

namespace model {

// A program's --version line: "PROGRAM 1.2.0, built 2026-12-09, library 1.2.0", its own release and
// build date beside the release of the library it loaded (they differ when another one was found).
std::string VersionLine(const std::string& program);

}  // namespace model

#endif
