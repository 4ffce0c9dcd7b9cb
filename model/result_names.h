// The names of the library's result codes, as its header names them without the prefix:
// -100 is "NOT_CONNECTED". Programs that raise errors in other systems' terms name them so.
#pragma once
#include <cstdint>

namespace model {

// The name of a result code; "UNKNOWN" for a code the library does not give.
const char* ResultName(int32_t code);

}  // namespace model
