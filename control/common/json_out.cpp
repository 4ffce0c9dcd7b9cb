#include "control/common/json_out.h"

#include "control/common/state.h"
#include "platform/terminal.h"

namespace control {
namespace {

// The settings the running switch has read.
model::JsonArray g_settings;

model::JsonObject Head() {
  model::JsonObject head;
  head.Text("switch", State.switch_text);
  return head;
}

}  // namespace

void JsonRecord(const char* kind, const model::JsonObject& members) {
  if (!State.json) return;
  model::JsonObject record = Head();
  record.Text("kind", kind).Members(members);
  platform::WriteDataLine(record.Json());
}

void JsonSetting(const model::JsonObject& setting) {
  if (State.json) g_settings.Object(setting);
}

void JsonSwitchBegin(const char* text) {
  State.switch_text = text;
  g_settings = model::JsonArray();
}

void JsonSwitchEnd() {
  if (!g_settings.empty()) JsonRecord("settings", model::JsonObject().Array("settings", g_settings));
  g_settings = model::JsonArray();
  State.switch_text.clear();
}

void JsonError(int status, const std::string& line) {
  if (!State.json) return;
  g_settings = model::JsonArray();
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  model::JsonObject error;
  error.Text("error", text).Integer("code", status).Text("switch", State.switch_text);
  platform::WriteDataLine(error.Json());
}

}  // namespace control
