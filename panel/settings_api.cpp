#include "panel/settings_api.h"

#include "model/device_texts.h"
#include "model/format.h"
#include "model/settings.h"

namespace panel {
namespace {

using model::SettingInfo;

Json Value(const SettingInfo& s, uint32_t raw) {
  Json v = {{"raw", raw}};
  if (s.unit == model::Unit::kTime) v["seconds"] = model::SecondsOf(s, raw);
  return v;
}

// A time in seconds as the setting's raw value, to the nearest step.
Result RawOfSeconds(const Json& seconds, const SettingInfo& s, uint32_t& raw) {
  if (!seconds.is_number()) return Refused("'seconds' must be a number");
  if (!model::StepsOf(s, seconds.get<double>(), raw))
    return Refused(model::Format("'seconds' is out of range (%.9g s to %.9g s)", model::SecondsOf(s, 0),
                                 model::SecondsOf(s, s.highest)));
  return Done();
}

}  // namespace

Json SettingsTable() {
  Json settings = Json::array();
  for (const SettingInfo& s : model::Settings()) {
    Json r = {{"name", s.name},
              {"family", model::FamilyName(s.family)},
              {"count", s.count},
              {"highest", s.highest},
              {"unit", model::UnitName(s.unit)}};
    if (s.unit == model::Unit::kTime) {
      r["offset"] = s.offset;
      r["step"] = s.step;
      if (s.step == model::kTimeStep) r["offset_10ns"] = s.offset;
    }
    settings.push_back(r);
  }
  Json sources = Json::array();
  for (unsigned i = 0; i < model::kDIOSources; ++i) sources.push_back(model::SourceName(i));
  return {{"settings", settings}, {"sources", sources}, {"signal_sources", model::kSignalSources}};
}

bool ReadEverySetting(uint16_t slot, SlotGate& gate, Json& out, const char*& failed) {
  Json settings = Json::object();
  for (const SettingInfo& s : model::Settings()) {
    Json list = Json::array();
    for (uint32_t i = 0; i < s.count; ++i) {
      uint32_t raw = 0;
      const SlotGate::Hold hold = gate.Call();
      if (s.get(slot, i, raw) != 0) {
        failed = s.get_call;
        return false;
      }
      list.push_back(Value(s, raw));
    }
    settings[s.name] = s.count == 1 ? list[0] : list;
  }
  out["settings"] = settings;
  return true;
}

Result SetFromRequest(uint16_t slot, const Json& request, Json& result) {
  if (Result r = CheckedObject(request); !r.ok()) return r;
  auto name = request.find("setting");
  if (name == request.end() || !name->is_string()) return Refused("'setting' must name a setting");
  const SettingInfo* s = model::FindSetting(name->get<std::string>());
  if (!s) return Refused("no setting '" + name->get<std::string>() + "'");
  uint32_t index = 0, raw = 0;
  if (s->count > 1 || request.contains("index"))
    if (Result r = CheckedNumber(request, "index", s->count - 1, index); !r.ok()) return r;
  Result checked = !request.contains("raw") && request.contains("seconds") && s->unit == model::Unit::kTime
                       ? RawOfSeconds(request["seconds"], *s, raw)
                       : CheckedNumber(request, "raw", s->highest, raw);
  if (!checked.ok()) return checked;
  if (s->set(slot, index, raw) != 0) return DeviceFailed(s->set_call, slot);
  uint32_t back = 0;
  if (s->get(slot, index, back) != 0) return DeviceFailed(s->get_call, slot);
  result = {{"setting", s->name}, {"index", index}, {"value", Value(*s, back)}};
  return Done();
}

std::string ChangeText(const Json& snapshot, const Json& change) {
  const std::string name = change["setting"].get<std::string>();
  const model::SettingInfo* s = model::FindSetting(name);
  const size_t index = change["index"].get<size_t>();
  std::string old = "?";
  if (snapshot.contains("settings") && snapshot["settings"].contains(name)) {
    const Json& held = snapshot["settings"][name];
    const Json& value = held.is_array() ? held[index] : held;
    old = std::to_string(value["raw"].get<uint32_t>());
  }
  return name + (s && s->count > 1 ? " #" + std::to_string(index) : "") + ": " + old + " -> " +
         std::to_string(change["value"]["raw"].get<uint32_t>());
}

void KeepReadBack(Json& snapshot, const Json& change) {
  if (!snapshot.value("connected", false) || !snapshot.contains("settings")) return;
  Json& setting = snapshot["settings"][change["setting"].get<std::string>()];
  if (setting.is_array())
    setting[change["index"].get<size_t>()] = change["value"];
  else
    setting = change["value"];
}

}  // namespace panel
