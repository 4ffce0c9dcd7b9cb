"""Control of the KESTRAVO pulse generator from Python, over the COM-KESTRAVO library (ctypes).

    import kestravo
    with kestravo.Device("/dev/ttyUSB0") as device:     # or "sim", "rfc2217://host:port", a COM number
        print(device.fw_version(), device.oscillator_period().hertz)

Arguments are checked in Python against their documented ranges (RANGES) before the library is
called: ValueError or TypeError, never a value cut to its C type. Every failed library call raises
a KestravoError with the library's code and texts (PortOpenError, NotConnectedError,
NotReadyError, CommunicationError and DeviceRefusedError for the families a script handles
differently). list_ports() lists the machine's serial ports without opening any. The library is
found by its soname (libCOM-KESTRAVO.so.1), or at the path in KESTRAVO_LIBRARY; on Windows
COM-KESTRAVO.dll. A Device may be shared between threads (a lock per Device); Devices on different
slots work side by side.
"""
from . import sim, units
from .device import (CONFIG_COUNT, CONFIG_SIZE, MEMORY_BLOCK_MAX, MEMORY_SIZE, NAME_SIZE, RANGES, ConfigFlags,
                     ConfigList, CpuData, Device, DioConfig, Fan, Housekeeping, Leds, Period, Source, Time,
                     TotalTime, TriggerDelay, UnmappedComNumberWarning, Uptime, Version, checked, is_port_name,
                     protocol_version)
from .errors import (CommunicationError, DeviceRefusedError, IOState, KestravoError, NotConnectedError,
                     NotReadyError, PortOpenError, Result, error_class)
from .ports import NO_PERMISSION, SYSTEM_CONSOLE, PortInfo, list_ports

__version__ = "1.1.0"

__all__ = [
    "CONFIG_COUNT", "CONFIG_SIZE", "MEMORY_BLOCK_MAX", "MEMORY_SIZE", "NAME_SIZE", "RANGES", "ConfigFlags",
    "ConfigList", "CpuData", "Device", "DioConfig", "Fan", "Housekeeping", "Leds", "Period", "Source", "Time",
    "TotalTime", "TriggerDelay", "UnmappedComNumberWarning", "Uptime", "Version", "checked", "is_port_name",
    "protocol_version", "CommunicationError", "DeviceRefusedError", "IOState", "KestravoError",
    "NotConnectedError", "NotReadyError", "PortOpenError", "Result", "error_class", "NO_PERMISSION",
    "SYSTEM_CONSOLE", "PortInfo", "list_ports", "sim", "units", "__version__",
]
