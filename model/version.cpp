#include "model/version.h"

#include "COM-KESTRAVO.h"

#ifndef KESTRAVO_VERSION
#define KESTRAVO_VERSION "0.0.0"
#endif
#ifndef KESTRAVO_BUILD_DATE
#define KESTRAVO_BUILD_DATE __DATE__
#endif

namespace model {

std::string VersionLine(const std::string& program) {
  return program + " " + KESTRAVO_VERSION + ", built " + KESTRAVO_BUILD_DATE + ", library " +
         COM_KESTRAVO_GetLibraryVersion();
}

}  // namespace model
