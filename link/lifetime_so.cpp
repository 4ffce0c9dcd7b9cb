// The shared library's load and unload notifications. A program that ends without closing its
// slots still has its device lines dropped, its ports closed and its debug files flushed.
#include "link/link.h"

namespace {

__attribute__((constructor)) void OnLoad() { kestravo::LibraryNotification(kestravo::kProcessAttach); }
__attribute__((destructor)) void OnUnload() { kestravo::LibraryNotification(kestravo::kProcessDetach); }

}  // namespace
