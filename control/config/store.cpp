// The device's store of 126 configurations: current configuration to and from a place, names,
// lists, delete, undelete and wipe out.
#include <cstring>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/json_out.h"
#include "control/common/state.h"
#include "control/config/config.h"
#include "control/config/stored_calls.h"
#include "model/block_text.h"
#include "model/cp1252.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

bool Verbose() { return !State.quiet; }

// The two commands between the current configuration and a stored one start the error line of a
// failed flag read on a line of its own.
bool GetStoreFlags(uint32_t number, uint8_t& active, uint8_t& valid) {
  if (COM_KESTRAVO_GetConfigFlags(State.PortNumber, number, &active, &valid) == 0) return true;
  Print("\n");
  ReportError("COM_KESTRAVO_GetConfigFlags");
  return false;
}

// A stored configuration's number and name, for scripts.
model::JsonObject ConfigJson(uint32_t number, const ConfigName& name) {
  return model::JsonObject()
      .Integer("number", number + 1)
      .Text("name", model::Utf8FromCp1252(reinterpret_cast<const uint8_t*>(name), sizeof name));
}

// The configurations whose flags match, listed with their names; `change` then sets their flags.
// A list alone is one object under --json.
void ForEachListed(bool deleted, const char* heading, const char* none, bool change) {
  uint8_t active[model::kStoredConfigs] = {}, valid[model::kStoredConfigs] = {};
  if (!Succeeded(COM_KESTRAVO_GetConfigList(State.PortNumber, active, valid), "COM_KESTRAVO_GetConfigList"))
    return;
  const bool json = State.json && !change;
  model::JsonArray listed;
  bool any = false;
  for (uint32_t n = 0; n < model::kStoredConfigs && !StopRequested(); ++n) {
    // The list of active ones looks at the active flag alone; a change needs a valid place too.
    const bool selected = deleted ? (valid[n] && !active[n]) : (active[n] && (!change || valid[n]));
    if (!selected) continue;
    if (!any && !json) Print("%s", heading);
    any = true;
    ConfigName name;
    if (!GetConfigName(n, name)) return;
    if (json)
      listed.Object(ConfigJson(n, name));
    else
      Print("%3u: '%s'\n", n + 1, name);
    if (change && !SetConfigFlags(n, deleted, true)) return;
  }
  if (json && !StopRequested())
    return JsonRecord("configurations",
                      model::JsonObject().Bool("deleted", deleted).Array("configurations", listed));
  if (!any) Print("%s", none);
}

}  // namespace

void ResetCurrentConfig() {
  Progress("Resetting current configuration\n");
  if (!Succeeded(COM_KESTRAVO_ResetCurrentConfig(State.PortNumber), "COM_KESTRAVO_ResetCurrentConfig"))
    return;
  if (Verbose()) Print("Current configuration reset\n");
}

void SaveCurrentConfigToStore(uint32_t number) {
  Progress("Saving current configuration to NVM set #%u:\n", number + 1);
  uint8_t active = 0, valid = 0;
  if (!GetStoreFlags(number, active, valid)) return;
  ConfigName name = {};
  if (valid) {
    if (!GetConfigName(number, name)) return;
    Print("Configuration #%u '%s' is valid%s, overwrite anyway [y/n]?\n", number + 1, name,
          active ? "" : " but deleted");
    FlushKeys();
    char c = 0;
    if (!AnswerCharacter(c) || (c != 'y' && c != 'Y')) return;
  }
  if (!Succeeded(COM_KESTRAVO_SaveCurrentConfig(State.PortNumber, number), "COM_KESTRAVO_SaveCurrentConfig"))
    return;
  if (valid)
    Print("Current configuration saved to NVM set #%u '%s'\n", number + 1, name);
  else
    Print("Current configuration saved to NVM set #%u\n", number + 1);
}

void LoadCurrentConfigFromStore(uint32_t number) {
  Progress("Loading current configuration from NVM set #%u:\n", number + 1);
  uint8_t active = 0, valid = 0;
  if (!GetStoreFlags(number, active, valid)) return;
  if (!valid) return Refused("Configuration #%u is invalid!\n", number + 1);
  ConfigName name;
  if (!GetConfigName(number, name)) return;
  if (!active) return Refused("Configuration #%u '%s' is deleted!\n", number + 1, name);
  if (!Succeeded(COM_KESTRAVO_LoadCurrentConfig(State.PortNumber, number), "COM_KESTRAVO_LoadCurrentConfig"))
    return;
  JsonRecord("configuration_loaded", ConfigJson(number, name));
  Print("Current configuration loaded from NVM set #%u '%s'\n", number + 1, name);
}

void ShowConfigName(uint32_t number) {
  Progress("Getting name of configuration #%u:\n", number + 1);
  uint8_t active = 0, valid = 0;
  if (!GetConfigFlags(number, active, valid)) return;
  if (!valid)
    return Refused("Cannot get the name of the configuration #%u since it is invalid!\n", number + 1);
  ConfigName name;
  if (!GetConfigName(number, name)) return;
  if (State.json) return JsonRecord("configuration_name", ConfigJson(number, name));
  Print("Name of configuration #%u: '%s'\n", number + 1, name);
}

void SetConfigName(uint32_t number, const char* text) {
  Progress("Setting name of configuration #%u:\n", number + 1);
  uint8_t active = 0, valid = 0;
  if (!GetConfigFlags(number, active, valid)) return;
  if (!valid)
    return Refused("Cannot set the name of the configuration #%u since it is invalid!\n", number + 1);
  ConfigName name = {};
  std::strncpy(name, text, model::kNameSize);  // cut at 52 bytes, the rest zero
  if (!Succeeded(COM_KESTRAVO_SetConfigName(State.PortNumber, number, reinterpret_cast<const uint8_t*>(name)),
                 "COM_KESTRAVO_SetConfigName"))
    return;
  Print("Name of configuration #%u set to '%s'\n", number + 1, name);  // as stored
}

namespace {

// Delete and undelete: the same steps, with their own texts and the flags they set.
struct FlagChange {
  const char* debug;
  const char* invalid;
  const char* already;
  const char* question;
  const char* done;
  bool active;  // what the active flag becomes; the change is refused when it already is so
};
constexpr FlagChange kDelete = {"Deleting configuration #%u:\n",
                                "Cannot delete the configuration #%u since it is invalid!\n",
                                "Configuration #%u '%s' is already deleted!\n",
                                "Delete the configuration #%u '%s' [y/n]? ",
                                "Configuration #%u '%s' deleted\n",
                                false};
constexpr FlagChange kUndelete = {"Undeleting configuration #%u:\n",
                                  "Cannot undelete the configuration #%u since it is invalid!\n",
                                  "Configuration #%u '%s' is already active!\n",
                                  "Undelete the configuration #%u '%s' [y/n]? ",
                                  "Configuration #%u '%s' undeleted\n",
                                  true};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void ChangeFlags(const FlagChange& c, uint32_t number) {
  Progress(c.debug, number + 1);
  FlushKeys();
  uint8_t active = 0, valid = 0;
  ConfigName name;
  if (!GetConfigFlags(number, active, valid)) return;
  if (!valid) return Refused(c.invalid, number + 1);
  if (!GetConfigName(number, name)) return;
  if (bool(active) == c.active) return Refused(c.already, number + 1, name);
  if (Confirm(c.question, number + 1, name) && SetConfigFlags(number, c.active, true))
    Print(c.done, number + 1, name);
  FlushKeys();
}
#pragma GCC diagnostic pop

}  // namespace

void DeleteConfig(uint32_t number) { ChangeFlags(kDelete, number); }
void UndeleteConfig(uint32_t number) { ChangeFlags(kUndelete, number); }

void WipeOutConfig(uint32_t number) {
  Progress("Wiping out configuration #%u:\n", number + 1);
  FlushKeys();
  uint8_t active = 0, valid = 0;
  ConfigName name;
  if (!GetConfigFlags(number, active, valid) || !GetConfigName(number, name)) return;
  if (valid && !Confirm("Wipe out the configuration #%u '%s' [y/n]? ", number + 1, name)) return;
  if (ClearStored(number, false)) Print("Configuration #%u '%s' wiped out\n", number + 1, name);
  FlushKeys();
}

void ListConfigs(bool deleted) {
  Progress(deleted ? "Getting list of deleted configurations:\n"
                   : "Getting list of active configurations:\n");
  ForEachListed(deleted, deleted ? "Deleted configuration(s):\n" : "Active configuration(s):\n",
                deleted ? "No deleted configurations found\n" : "No active configurations found\n", false);
}

void DeleteAllConfigs() {
  Progress("Getting list of active configurations:\n");
  if (!Confirm("Delete all configurations [y/n]? ")) return;
  ForEachListed(false, "Deleting configuration(s):\n", "No active configurations found\n", true);
}

void UndeleteAllConfigs() {
  Progress("Getting list of deleted configurations:\n");
  if (!Confirm("Undelete all configurations [y/n]? ")) return;
  ForEachListed(true, "Undeleting configuration(s):\n", "No deleted configurations found\n", true);
}

void WipeOutAllConfigs() {
  if (!Confirm("Wipe out all configurations [y/n]? ")) return;
  if (!Confirm("All configuration data will be deleted and cannot be restored, continue [y/n]? ")) return;
  const bool terminal = platform::OutputIsTerminal() && !State.quiet;
  if (terminal) Print("Wiping out configuration #");
  const int row = platform::CursorRow(), column = platform::CursorColumn();
  for (uint32_t n = 0; n < model::kStoredConfigs; ++n) {
    if (StopRequested()) return EndProgressLine();
    if (terminal) {
      platform::MoveCursor(row, column);
      Print("%u", n + 1);
    } else {
      ProgressLine("Wiping out configuration #%u", n + 1);
    }
    std::fflush(stdout);
    if (!ClearStored(n, true)) return;
  }
  if (terminal) {
    platform::MoveCursor(row, 0);
    ClearLine();
  }
  Print("All configurations were wiped out\n");
}

}  // namespace control
