"""Loads libCOM-KESTRAVO and declares the signatures of its functions for ctypes."""
import ctypes
import os
import sys
import threading
from typing import Any, Dict, List, Optional, Tuple

u8, u16, u32, i32 = ctypes.c_uint8, ctypes.c_uint16, ctypes.c_uint32, ctypes.c_int32
f64, text = ctypes.c_double, ctypes.c_char_p
P = ctypes.POINTER

# Every exported function: its name without the COM_KESTRAVO_ prefix, the return type and the
# argument types, as include/COM-KESTRAVO.h declares them (a test compares the two).
SIGNATURES: Dict[str, Tuple[Any, List[Any]]] = {
    "GetSWVersion": (u16, []),
    "GetInterfaceState": (i32, [u16]),
    "GetErrorMessage": (text, [u16]),
    "GetIOState": (i32, [u16]),
    "GetIOErrorMessage": (text, [u16]),
    "Open": (i32, [u16, u8]),
    "Close": (i32, [u16]),
    "Purge": (i32, [u16]),
    "SetBaudRate": (i32, [u16, P(u32)]),
    "DevicePurge": (i32, [u16, P(i32)]),
    "GetBufferState": (i32, [u16, P(i32)]),
    "Restart": (i32, [u16]),
    "OpenDebugFile": (i32, [u16, text]),
    "CloseDebugFile": (i32, [u16]),
    "GetHWType": (i32, [u16, P(u16)]),
    "GetHWVersion": (i32, [u16, P(u16)]),
    "GetFWVersion": (i32, [u16, P(u16)]),
    "GetFWDate": (i32, [u16, text]),
    "GetProductID": (i32, [u16, text]),
    "GetProductNo": (i32, [u16, P(u32)]),
    "GetMainState": (i32, [u16, P(u16)]),
    "GetDeviceState": (i32, [u16, P(u32)]),
    "GetCPUData": (i32, [u16, P(f64), P(f64)]),
    "GetUptime": (i32, [u16, P(u32), P(u16), P(u32)]),
    "GetTotalTime": (i32, [u16, P(u32), P(u32)]),
    "GetHousekeeping": (i32, [u16, P(f64), P(f64), P(f64), P(f64)]),
    "GetSensorData": (i32, [u16, P(f64)]),
    "GetFanData": (i32, [u16, P(i32), P(i32), P(u16), P(u16), P(u16)]),
    "GetLEDData": (i32, [u16, P(i32), P(i32), P(i32)]),
    "GetOscillatorPeriod": (i32, [u16, P(u32)]),
    "SetOscillatorPeriod": (i32, [u16, u32]),
    "GetPulserDelay": (i32, [u16, u32, P(u32)]),
    "SetPulserDelay": (i32, [u16, u32, u32]),
    "GetPulserWidth": (i32, [u16, u32, P(u32)]),
    "SetPulserWidth": (i32, [u16, u32, u32]),
    "GetPulserBurst": (i32, [u16, u32, P(u32)]),
    "SetPulserBurst": (i32, [u16, u32, u32]),
    "GetPulserConfig": (i32, [u16, u32, P(u8)]),
    "SetPulserConfig": (i32, [u16, u32, u32]),
    "GetSwitchTriggerConfig": (i32, [u16, u32, P(u8)]),
    "SetSwitchTriggerConfig": (i32, [u16, u32, u32]),
    "GetSwitchEnableConfig": (i32, [u16, u32, P(u8)]),
    "SetSwitchEnableConfig": (i32, [u16, u32, u32]),
    "GetSwitchTriggerDelay": (i32, [u16, u32, P(u8), P(u8)]),
    "SetSwitchTriggerDelay": (i32, [u16, u32, u32, u32]),
    "GetSwitchEnableDelay": (i32, [u16, u32, P(u8)]),
    "SetSwitchEnableDelay": (i32, [u16, u32, u32]),
    "GetSwitchTriggerMapping": (i32, [u16, u32, P(u8)]),
    "SetSwitchTriggerMapping": (i32, [u16, u32, u32]),
    "GetSwitchEnableMapping": (i32, [u16, u32, P(u8)]),
    "SetSwitchEnableMapping": (i32, [u16, u32, u32]),
    "GetSwitchTriggerMappingEnable": (i32, [u16, P(u8)]),
    "SetSwitchTriggerMappingEnable": (i32, [u16, u8]),
    "GetSwitchEnableMappingEnable": (i32, [u16, P(u8)]),
    "SetSwitchEnableMappingEnable": (i32, [u16, u8]),
    "GetInputConfig": (i32, [u16, P(u8), P(u8)]),
    "SetInputConfig": (i32, [u16, u32, u32]),
    "GetOutputConfig": (i32, [u16, u32, P(u8)]),
    "SetOutputConfig": (i32, [u16, u32, u32]),
    "GetDeviceEnable": (i32, [u16, P(i32)]),
    "SetDeviceEnable": (i32, [u16, i32]),
    "GetControllerState": (i32, [u16, P(u16)]),
    "SetControllerConfig": (i32, [u16, u32]),
    "ResetCurrentConfig": (i32, [u16]),
    "GetCurrentConfig": (i32, [u16, P(u8)]),
    "SetCurrentConfig": (i32, [u16, P(u8)]),
    "GetConfigData": (i32, [u16, u32, P(u8)]),
    "SetConfigData": (i32, [u16, u32, P(u8)]),
    "GetConfigList": (i32, [u16, P(u8), P(u8)]),
    "SaveCurrentConfig": (i32, [u16, u32]),
    "LoadCurrentConfig": (i32, [u16, u32]),
    "GetConfigName": (i32, [u16, u32, P(u8)]),
    "SetConfigName": (i32, [u16, u32, P(u8)]),
    "GetConfigFlags": (i32, [u16, u32, P(u8), P(u8)]),
    "SetConfigFlags": (i32, [u16, u32, u8, u8]),
    "GetMemoryData": (i32, [u16, u32, u32, P(u8)]),
    "SetMemoryData": (i32, [u16, u32, u32, P(u8)]),
    "UpdateMemoryData": (i32, [u16]),
    "Test": (i32, [u16, text]),
    "GetOpenFailureReason": (text, [u16]),
    "OpenPort": (i32, [u16, text]),
}


def _candidates() -> List[str]:
    chosen = os.environ.get("KESTRAVO_LIBRARY")
    if chosen:
        return [chosen]
    if sys.platform == "win32":
        return ["COM-KESTRAVO.dll"]
    if sys.platform == "darwin":
        return ["libCOM-KESTRAVO.1.dylib"]
    return ["libCOM-KESTRAVO.so.1"]


_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None


def library() -> ctypes.CDLL:
    """The loaded library with its signatures declared (loaded on first use).

    KESTRAVO_LIBRARY names the file to load; otherwise the library is found by its soname
    (libCOM-KESTRAVO.so.1) on the system's search path, or as COM-KESTRAVO.dll on Windows.
    """
    global _library
    with _lock:
        if _library is None:
            errors: List[str] = []
            for name in _candidates():
                try:
                    lib = ctypes.CDLL(name)
                    break
                except OSError as error:
                    errors.append(str(error))
            else:
                raise OSError("COM-KESTRAVO library not found (install libcom-kestravo1, or set "
                              "KESTRAVO_LIBRARY to its path): " + "; ".join(errors))
            for name, (restype, argtypes) in SIGNATURES.items():
                function = getattr(lib, "COM_KESTRAVO_" + name)
                function.restype = restype
                function.argtypes = argtypes
            _library = lib
        return _library
