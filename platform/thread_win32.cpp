#include <windows.h>

#include "platform/thread.h"

namespace platform {

uint64_t CurrentThreadId() { return GetCurrentThreadId(); }

}  // namespace platform
