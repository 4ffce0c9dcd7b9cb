// What the panel's handling of a request gives when it does not succeed: the HTTP status and the
// reason, as one value.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

namespace panel {

using Json = nlohmann::json;

struct Result {
  int status = 200;
  std::string error;
  bool ok() const { return status == 200; }
};

inline Result Done() { return {}; }
// A request that is wrong: nothing was sent to the device.
inline Result Refused(std::string why) { return {400, std::move(why)}; }
// A library call that failed: "<operation>: <the library's text of the slot's last result>".
Result DeviceFailed(const char* operation, uint16_t slot);

// A whole number from 0 to highest under key; refused when it is missing, of another type or
// out of range.
Result CheckedNumber(const Json& request, const char* key, uint32_t highest, uint32_t& value);
// The request must be a JSON object.
Result CheckedObject(const Json& request);

}  // namespace panel
