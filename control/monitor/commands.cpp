#include "control/monitor/commands.h"

#include <cctype>

#include "control/monitor/displays.h"

namespace control {
namespace {

void BufferState(bool) { ShowBufferState(); }
void Purge(bool) { PurgeCommunication(); }
void Restart(bool) { RestartDevice(); }
void HWVersion(bool) { ShowHWVersion(); }
void FWVersion(bool) { ShowFWVersion(); }
void FWDate(bool) { ShowFWDate(); }
void ProductID(bool) { ShowProductID(); }
void ProductNo(bool) { ShowProductNo(); }

const CommandRow kCommands[] = {
    {'!', {Restart, false}, {Restart, false}},
    {'B', {BufferState, false}, {BufferState, false}},
    {'C', {ShowCPUData, false}, {ShowCPUData, true}},
    {'D', {FWDate, false}, {nullptr, false}},
    {'F', {ShowFanData, false}, {ShowFanData, true}},
    {'H', {ShowHousekeeping, false}, {ShowHousekeeping, true}},
    {'I', {ShowMainState, false}, {ShowMainState, true}},
    {'L', {ShowLEDData, false}, {ShowLEDData, true}},
    {'M', {ShowSensorData, false}, {ShowSensorData, true}},
    {'N', {ProductNo, false}, {ProductNo, false}},
    {'P', {ProductID, false}, {nullptr, false}},
    {'S', {ShowDeviceState, false}, {ShowDeviceState, true}},
    {'U', {ShowUptime, false}, {ShowUptime, true}},
    {'V', {HWVersion, false}, {FWVersion, false}},
    {'Z', {Purge, false}, {Purge, false}},
};

}  // namespace

const CommandRow* FindCommand(char upper) {
  for (const CommandRow& row : kCommands)
    if (row.letter == upper) return &row;
  return nullptr;
}

const CommandForm* SelectForm(int typed, bool key) {
  if (typed < 0 || typed > 255) return nullptr;
  const CommandRow* row = FindCommand(char(std::toupper(typed)));
  if (!row) return nullptr;
  bool small = std::islower(typed) != 0;
  if (key && row->letter == 'V') small = !small;
  const CommandForm* form = small ? &row->small : &row->capital;
  return form->run ? form : nullptr;
}

}  // namespace control
