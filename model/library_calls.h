// The library's getters and setters of one value in one shape, (port, index, value), so that a
// table of settings can hold them side by side. Settings without an index ignore it; a getter
// writes the value only when the call succeeded.
#pragma once
#include <cstdint>

namespace model {

template <typename T, int32_t (*F)(uint16_t, uint32_t, T*)>
int32_t GetIndexed(uint16_t port, uint32_t index, uint32_t& value) {
  T v{};
  const int32_t r = F(port, index, &v);
  if (r == 0) value = uint32_t(v);
  return r;
}
template <typename T, int32_t (*F)(uint16_t, T*)>
int32_t GetPlain(uint16_t port, uint32_t, uint32_t& value) {
  T v{};
  const int32_t r = F(port, &v);
  if (r == 0) value = uint32_t(v);
  return r;
}
template <typename T, int32_t (*F)(uint16_t, T)>
int32_t SetPlain(uint16_t port, uint32_t, uint32_t value) {
  return F(port, T(value));
}

}  // namespace model
