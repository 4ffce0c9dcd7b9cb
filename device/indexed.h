// The indexed read and the indexed write: most settings travel as an index digit and a value of
// fixed width, read by sending the index alone and written by sending index and value; the device
// answers both with index and value. One table row per operation drives the exchange and its
// messages.
#pragma once
#include <cstdint>

namespace kestravo {

struct IndexedOp {
  const char* name;  // the exported function, as the messages name it
  char letter;
  const char* index_name;       // "PulserNo", ...
  uint32_t limit;               // indices below this are valid
  const char* value_name;       // "Delay", ...
  int width;                    // hexadecimal digits of the value: 8, 6, 2 or 1
  const char* mismatch_format;  // how the value mismatch message shows the values ("%u", "%02Xh", ...)
  uint32_t value_limit;         // 0, or the bound values must stay below, written and read
};

int32_t IndexedRead(uint16_t port, const IndexedOp& op, uint32_t index, uint32_t& value);
// The indexed read into a caller's out-parameter, written only on success.
template <typename T>
int32_t IndexedGet(uint16_t port, const IndexedOp& op, uint32_t index, T* out) {
  uint32_t value = 0;
  int32_t r = IndexedRead(port, op, index, value);
  if (r == 0 && out) *out = T(value);
  return r;
}
int32_t IndexedWrite(uint16_t port, const IndexedOp& op, uint32_t index, uint32_t value);

// The Y/N exchange of a Boolean setting without index (letter alone reads, "Y"/"N" writes).
int32_t ReadFlag(uint16_t port, char letter, int32_t& flag);
int32_t WriteFlag(uint16_t port, char letter, bool on, int32_t& echoed);

}  // namespace kestravo
