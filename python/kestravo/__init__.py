"""Control of the KESTRAVO pulse generator from Python, over the COM-KESTRAVO library (ctypes).

    import kestravo
    with kestravo.Device("sim") as device:          # or a COM number, "/dev/ttyUSB0", "rfc2217://host:port"
        print(device.fw_version(), device.oscillator_period().hertz)

Every failed call raises KestravoError with the library's code and texts. The library is found by
its soname (libCOM-KESTRAVO.so.1), or at the path in KESTRAVO_LIBRARY; on Windows COM-KESTRAVO.dll.
"""
from . import sim, units
from .device import (CONFIG_COUNT, CONFIG_SIZE, MEMORY_BLOCK_MAX, MEMORY_SIZE, NAME_SIZE, ConfigFlags,
                     RANGES, ConfigList, CpuData, Device, DioConfig, Fan, Housekeeping, Leds, Period, Source,
                     Time, TotalTime, TriggerDelay, UnmappedComNumberWarning, Uptime, Version, checked,
                     is_port_name, protocol_version)
from .errors import IOState, KestravoError, Result

__version__ = "1.1.0"
