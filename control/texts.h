// The fixed texts of the console program.
#pragma once

namespace control {

extern const char kPortsHelpText[];  // after the usage text of --help
extern const char kUsageText[];      // printf format: one %d, the highest channel number
extern const char kHelpText[];

}  // namespace control
