#include "panel/result.h"

#include "COM-KESTRAVO.h"

namespace panel {

Result DeviceFailed(const char* operation, uint16_t slot) {
  return {502, std::string(operation) + ": " + COM_KESTRAVO_GetErrorMessage(slot)};
}

Result CheckedNumber(const Json& request, const char* key, uint32_t highest, uint32_t& value) {
  auto it = request.find(key);
  if (it == request.end()) return Refused(std::string("'") + key + "' is missing");
  if (!it->is_number_unsigned() && !(it->is_number_integer() && it->get<int64_t>() >= 0))
    return Refused(std::string("'") + key + "' must be a whole number from 0");
  const uint64_t v = it->get<uint64_t>();
  if (v > highest)
    return Refused(std::string("'") + key + "' is out of range (0 to " + std::to_string(highest) + ")");
  value = uint32_t(v);
  return Done();
}

Result CheckedObject(const Json& request) {
  return request.is_object() ? Done() : Refused("the request must be a JSON object");
}

}  // namespace panel
