// The 'K' switch rows and the configuration menu: one table of commands, each with what it needs
// (a configuration number, a file name or a name) and the routine it runs.
#include <string_view>

#include "control/common/console.h"
#include "control/common/state.h"
#include "control/config/config.h"
#include "model/block_text.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {
namespace {

enum class Needs : uint8_t { kNothing, kFile, kNumber, kNumberAndFile, kNumberAndName };

struct ConfigCommand {
  char letter;  // as typed after 'K', and in the menu
  const char* title;
  Needs needs;
  void (*run)(uint32_t number, const char* text);
};

const ConfigCommand kCommands[] = {
    {'T', "Reset current configuration\n", Needs::kNothing,
     [](uint32_t, const char*) { ResetCurrentConfig(); }},
    {'t', "Reset current configuration\n", Needs::kNothing,
     [](uint32_t, const char*) { ResetCurrentConfig(); }},
    {'l', "Load current configuration\n", Needs::kFile,
     [](uint32_t, const char* file) { LoadCurrentConfigFromFile(file); }},
    {'s', "Save current configuration\n", Needs::kFile,
     [](uint32_t, const char* file) { SaveCurrentConfigToFile(file); }},
    {'L', "Load current configuration\n", Needs::kNumber,
     [](uint32_t n, const char*) { LoadCurrentConfigFromStore(n); }},
    {'S', "Save current configuration\n", Needs::kNumber,
     [](uint32_t n, const char*) { SaveCurrentConfigToStore(n); }},
    {'C', "List active configurations\n", Needs::kNothing, [](uint32_t, const char*) { ListConfigs(false); }},
    {'c', "List active configurations\n", Needs::kNothing, [](uint32_t, const char*) { ListConfigs(false); }},
    {'D', "List deleted configurations\n", Needs::kNothing, [](uint32_t, const char*) { ListConfigs(true); }},
    {'d', "List deleted configurations\n", Needs::kNothing, [](uint32_t, const char*) { ListConfigs(true); }},
    {'N', "Set name of a configuration\n", Needs::kNumberAndName,
     [](uint32_t n, const char* name) { SetConfigName(n, name); }},
    {'n', "Get name of a configuration\n", Needs::kNumber,
     [](uint32_t n, const char*) { ShowConfigName(n); }},
    {'r', "Load data of a configuration\n", Needs::kNumberAndFile,
     [](uint32_t n, const char* file) { LoadConfigFromFile(n, file); }},
    {'w', "Save data of a configuration\n", Needs::kNumberAndFile,
     [](uint32_t n, const char* file) { SaveConfigToFile(n, file); }},
    {'R', "Load data of all configurations\n", Needs::kFile,
     [](uint32_t, const char* file) { LoadAllConfigsFromFile(file); }},
    {'W', "Save data of all configurations\n", Needs::kFile,
     [](uint32_t, const char* file) { SaveAllConfigsToFile(file); }},
    {'X', "Delete a configuration\n", Needs::kNumber, [](uint32_t n, const char*) { DeleteConfig(n); }},
    {'x', "Undelete a configuration\n", Needs::kNumber, [](uint32_t n, const char*) { UndeleteConfig(n); }},
    {'p', "Wipe out a configuration\n", Needs::kNumber, [](uint32_t n, const char*) { WipeOutConfig(n); }},
    {'A', "Delete all configurations\n", Needs::kNothing, [](uint32_t, const char*) { DeleteAllConfigs(); }},
    {'a', "Undelete all configurations\n", Needs::kNothing,
     [](uint32_t, const char*) { UndeleteAllConfigs(); }},
    {'P', "Wipe out all configurations\n", Needs::kNothing,
     [](uint32_t, const char*) { WipeOutAllConfigs(); }},
};

const ConfigCommand* Find(int letter) {
  for (const ConfigCommand& c : kCommands)
    if (c.letter == letter) return &c;
  return nullptr;
}

bool NeedsNumber(Needs n) {
  return n == Needs::kNumber || n == Needs::kNumberAndFile || n == Needs::kNumberAndName;
}
bool NeedsText(Needs n) {
  return n == Needs::kFile || n == Needs::kNumberAndFile || n == Needs::kNumberAndName;
}

}  // namespace

// -KT ... -KP: the letter after 'K' chooses the command, u follows in the same argument (1 to 126),
// a file name or a name is the next argument.
int ConfigSwitch(SwitchArgs& a) {
  if (a.small()) return a.index;  // only -K
  const ConfigCommand* c = a.rest[0] ? Find(a.rest[0]) : nullptr;
  if (!c) return a.index;
  uint32_t u = 0;
  if (NeedsNumber(c->needs)) {
    if (!SwitchNumber(a.rest + 1, u) || u < 1 || u > model::kStoredConfigs) return a.index;
  } else if (a.rest[1] != 0) {
    return a.index;
  }
  const char* text = "";
  if (NeedsText(c->needs) && !(text = a.Next())) return a.argc;
  if (OpenDevicePort()) c->run(u - 1, text);
  return kParsed;
}

void ConfigMenu() {
  Print(
      "Press 't' to reset current configuration,\n"
      "      'l'/'s' to load/save current configuration,\n"
      "      'L'/'S' to load/save current configuration from/to NVM,\n"
      "      'c'/'d' to list active/deleted configurations,\n"
      "      'N'/'n' to set/get name of a configuration,\n"
      "      'r'/'w' to load/save data of a configuration,\n"
      "      'R'/'W' to load/save data of all configurations,\n"
      "      'X'/'x'/'p' to delete/undelete/wipe out a configuration,\n"
      "      'A'/'a'/'P' to delete/undelete/wipe out all configurations: ");
  const ConfigCommand* c = nullptr;
  while (!c) {
    std::fflush(stdout);
    WaitKey();
    const int key = ReadKey();
    if (key == platform::kEsc) return Print("\n");
    if (key >= platform::kExtended) continue;
    // Upper-cased, one of the menu's letters; the case as typed chooses the command.
    const int upper = key >= 'a' && key <= 'z' ? key - 32 : key;
    if (std::string_view("ACDLNPRSTWX").find(char(upper)) == std::string_view::npos) continue;
    c = Find(key);
  }
  Print("\n%s", c->title);
  uint32_t number = 0;
  if (NeedsNumber(c->needs)) {
    uint32_t typed = 0;
    if (!PromptNumber("Enter the configuration number in the NVM: ", typed)) return;
    number = typed - 1;
    if (number >= model::kStoredConfigs) {
      Print("Invalid configuration number specified!\n");
      return NoteFailure(kFailedArgument, "Invalid configuration number specified!\n");
    }
  }
  char text[kFileNameSize] = "";
  if (NeedsText(c->needs)) {
    const char* prompt = c->needs == Needs::kNumberAndName
                             ? "Enter the configuration name: "
                             : "Enter the filename for the configuration data: ";
    if (!PromptFileName(prompt, text)) return;
  }
  c->run(number, text);
}

}  // namespace control
