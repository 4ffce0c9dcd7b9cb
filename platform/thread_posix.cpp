#include <pthread.h>

#include "platform/thread.h"

namespace platform {

uint64_t CurrentThreadId() { return uint64_t(pthread_self()); }

}  // namespace platform
