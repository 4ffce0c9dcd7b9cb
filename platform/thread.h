// The calling thread's identity, as the system gives it: pthread_self on Linux,
// GetCurrentThreadId on Windows. (Not std::this_thread::get_id: in the Windows DLL it goes through
// the threads library's own thread-local storage, whose index unloading never gives back.)
#pragma once
#include <cstdint>

namespace platform {

// A number no other running thread has.
uint64_t CurrentThreadId();

}  // namespace platform
