// Configuration commands: between the device's current configuration, its store of 126
// configurations and text files. Configuration numbers here count from 0; messages show them
// from 1.
#pragma once
#include <cstdint>

#include "control/common/switch_args.h"

namespace control {

// Current configuration.
void ResetCurrentConfig();
void SaveCurrentConfigToFile(const char* path);
void LoadCurrentConfigFromFile(const char* path);
void SaveCurrentConfigToStore(uint32_t number);
void LoadCurrentConfigFromStore(uint32_t number);

// One stored configuration.
void ShowConfigName(uint32_t number);
void SetConfigName(uint32_t number, const char* name);
void SaveConfigToFile(uint32_t number, const char* path);
void LoadConfigFromFile(uint32_t number, const char* path);
void DeleteConfig(uint32_t number);
void UndeleteConfig(uint32_t number);
void WipeOutConfig(uint32_t number);

// All stored configurations.
void ListConfigs(bool deleted);
void SaveAllConfigsToFile(const char* path);
void LoadAllConfigsFromFile(const char* path);
void DeleteAllConfigs();
void UndeleteAllConfigs();
void WipeOutAllConfigs();

// The 'K' switch rows and the configuration menu.
int ConfigSwitch(SwitchArgs& a);
void ConfigMenu();

}  // namespace control
