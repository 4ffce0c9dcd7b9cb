// The panel's one page: HTML, CSS and JavaScript of its own (panel/web), no framework and nothing
// fetched from elsewhere, put together into one file when the program is built. It reads
// /api/state once a second and redraws when the snapshot is new.
#pragma once
#include <cstddef>

namespace panel {

extern const unsigned char kPageBytes[];
extern const size_t kPageSize;

}  // namespace panel
