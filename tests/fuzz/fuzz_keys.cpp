// The key decoder on any bytes: every key code is an ordinary key, Esc, or an extended key, and
// every byte is taken.
#include <cstdint>
#include <cstdlib>

#include "platform/terminal.h"

namespace {

struct Bytes {
  const uint8_t* data;
  size_t size, at;
};
int Next(void* ctx, int) {
  auto* b = static_cast<Bytes*>(ctx);
  return b->at < b->size ? b->data[b->at++] : -1;
}
void Unread(void* ctx, int) { --static_cast<Bytes*>(ctx)->at; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes b{data, size, 0};
  for (int guard = 0; b.at < b.size && guard < 100000; ++guard) {
    const size_t before = b.at;
    const int key = platform::DecodeKey(Next, Unread, &b);
    if (key < 0 || key > platform::kExtended + 255) std::abort();
    if (b.at == before && key != platform::kEsc) std::abort();  // no progress
  }
  return 0;
}
