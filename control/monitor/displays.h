// Status and monitoring displays: the device's identity, link state and health, once or
// continuously until Esc.
#pragma once

namespace control {

void ShowBufferState();
void PurgeCommunication();
void RestartDevice();
void ShowCPUData(bool continuous);
void ShowUptime(bool continuous);
void ShowHWVersion();
void ShowFWDate();
void ShowFWVersion();
void ShowProductID();
void ShowProductNo();
void ShowMainState(bool continuous);
void ShowDeviceState(bool continuous);
void ShowHousekeeping(bool continuous);
void ShowSensorData(bool continuous);
void ShowFanData(bool continuous);
void ShowLEDData(bool continuous);

}  // namespace control
