#include "panel/actions.h"

#include <cstring>

#include "COM-KESTRAVO.h"
#include "model/cp1252.h"
#include "model/settings.h"

namespace panel {
namespace {

// The device's bytes of a name typed in UTF-8.
Result NameBytes(const Json& request, uint8_t (&stored)[COM_KESTRAVO_NAME_SIZE]) {
  auto name = request.find("name");
  if (name == request.end() || !name->is_string()) return Refused("'name' must be a text");
  std::string bytes;
  if (!model::Cp1252FromUtf8(name->get<std::string>(), bytes))
    return Refused("the name holds a character the device cannot store");
  if (bytes.find('\0') != std::string::npos) return Refused("the name holds a NUL character");
  if (bytes.size() >= COM_KESTRAVO_NAME_SIZE) return Refused("the name is longer than 51 characters");
  std::memcpy(stored, bytes.data(), bytes.size());
  return Done();
}

Result Called(int32_t result, const char* call, uint16_t slot) {
  return result == 0 ? Done() : DeviceFailed(call, slot);
}

}  // namespace

Result ReadConfigList(uint16_t slot, SlotGate& gate, Json& out) {
  uint8_t active[COM_KESTRAVO_CONFIG_COUNT] = {}, valid[COM_KESTRAVO_CONFIG_COUNT] = {};
  {
    const SlotGate::Hold hold = gate.Call();
    if (COM_KESTRAVO_GetConfigList(slot, active, valid) != 0)
      return DeviceFailed("COM_KESTRAVO_GetConfigList", slot);
  }
  Json places = Json::array();
  for (uint32_t n = 0; n < COM_KESTRAVO_CONFIG_COUNT; ++n) {
    Json place = {{"number", n}, {"active", active[n] != 0}, {"valid", valid[n] != 0}, {"name", nullptr}};
    if (valid[n]) {
      uint8_t name[COM_KESTRAVO_NAME_SIZE + 1] = {};
      const SlotGate::Hold hold = gate.Call();
      if (COM_KESTRAVO_GetConfigName(slot, n, name) != 0)
        return DeviceFailed("COM_KESTRAVO_GetConfigName", slot);
      place["name"] = model::Utf8FromCp1252(name, COM_KESTRAVO_NAME_SIZE);
    }
    places.push_back(place);
  }
  out = {{"places", places}};
  return Done();
}

Result ConfigAction(uint16_t slot, const std::string& action, const Json& request, Json& result) {
  if (Result r = CheckedObject(request); !r.ok()) return r;
  uint32_t n = 0;
  if (Result r = CheckedNumber(request, "number", COM_KESTRAVO_CONFIG_COUNT - 1, n); !r.ok()) return r;
  Result done;
  if (action == "save") {
    done = Called(COM_KESTRAVO_SaveCurrentConfig(slot, n), "COM_KESTRAVO_SaveCurrentConfig", slot);
  } else if (action == "load") {
    done = Called(COM_KESTRAVO_LoadCurrentConfig(slot, n), "COM_KESTRAVO_LoadCurrentConfig", slot);
  } else if (action == "name") {
    uint8_t stored[COM_KESTRAVO_NAME_SIZE] = {};
    if (Result r = NameBytes(request, stored); !r.ok()) return r;
    done = Called(COM_KESTRAVO_SetConfigName(slot, n, stored), "COM_KESTRAVO_SetConfigName", slot);
  } else if (action == "delete" || action == "undelete") {
    uint8_t active = 0, valid = 0;
    if (COM_KESTRAVO_GetConfigFlags(slot, n, &active, &valid) != 0)
      return DeviceFailed("COM_KESTRAVO_GetConfigFlags", slot);
    if (!valid) return Refused("the configuration is invalid");
    done = Called(COM_KESTRAVO_SetConfigFlags(slot, n, action == "undelete", 1),
                  "COM_KESTRAVO_SetConfigFlags", slot);
  } else {
    return Refused("no configuration action '" + action + "'");
  }
  if (done.ok()) result = {{"number", n}, {"done", action}};
  return done;
}

Result SoftwareTrigger(uint16_t slot, SlotGate& gate, const Json& request, Json& result) {
  if (Result r = CheckedObject(request); !r.ok()) return r;
  uint32_t masks[2] = {0x10, 0x00};
  const char* keys[2] = {"start", "stop"};
  for (int i = 0; i < 2; ++i) {
    auto it = request.find(keys[i]);
    if (it == request.end()) continue;
    if (!it->is_number_integer() || (it->get<int64_t>() & ~int64_t(0x18)) != 0)
      return Refused(std::string("'") + keys[i] + "' must be 0, 8, 16 or 24");
    masks[i] = it->get<uint32_t>();
  }
  const SlotGate::Hold hold = gate.Change();
  uint16_t s = 0;
  if (COM_KESTRAVO_GetControllerState(slot, &s) != 0)
    return DeviceFailed("COM_KESTRAVO_GetControllerState", slot);
  const uint16_t a = model::TriggerPattern(s, masks[0]), b = model::TriggerPattern(s, masks[1]);
  if (COM_KESTRAVO_SetControllerConfig(slot, a & 0xFF) != 0 ||
      COM_KESTRAVO_SetControllerConfig(slot, b & 0xFF) != 0)
    return DeviceFailed("COM_KESTRAVO_SetControllerConfig", slot);
  result = {{"read", s}, {"start", a}, {"stop", b}};
  return Done();
}

}  // namespace panel
