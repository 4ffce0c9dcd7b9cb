"""Control of the KESTRAVO pulse generator from Python, over the COM-KESTRAVO library (ctypes).

    import kestravo
    with kestravo.Device("/dev/ttyUSB0") as device:     # or "sim", "rfc2217://host:port", a COM number
        print(device.fw_version(), device.oscillator_period().hertz)

Arguments are checked in Python against their documented ranges (RANGES) before the library is
called: ValueError or TypeError, never a value cut to its C type. Integers are taken through
operator.index (NumPy's too; bool refused), data only from bytes-like objects. Every failed library
call raises a KestravoError with the library's code and texts (PortOpenError, NotConnectedError,
NotReadyError, CommunicationError, DeviceRefusedError and DeviceGoneError for the families a script
handles differently); the exceptions pickle with their fields, so they cross process pools.
list_ports() lists the machine's serial ports without opening any, and a Device refuses the one the
kernel's console is on unless allow_system_console=True. The library is found by its soname
(libCOM-KESTRAVO.so.1), or at the path in KESTRAVO_LIBRARY; on Windows COM-KESTRAVO.dll beside the
package, on PATH or in the system's folders. A Device may be shared between threads (a lock per
Device); Devices on different slots work side by side. The logger "kestravo" logs each library call
at DEBUG and each failure at WARNING.

Ctrl-C: Python raises KeyboardInterrupt only between two library calls. Memory transfers therefore
go in blocks of about a second on the wire; an opening of a port where no device answers cannot be
interrupted for up to about 8.5 s (the library's repair attempts), after which everything it opened
is closed again.
"""
from . import sim, units
from ._library import LibraryNotFoundError, library_release
from .device import (CONFIG_COUNT, CONFIG_SIZE, MEMORY_BLOCK_MAX, MEMORY_SIZE, NAME_SIZE, RANGES, TEST_SIZE_MAX,
                     ConfigFlags, ConfigList, CpuData, Device, DioConfig, Fan, Housekeeping, Leds, Period, Source,
                     Time, TotalTime, TriggerDelay, UnmappedComNumberWarning, Uptime, Version, bytes_like, checked,
                     is_port_name, memory_block_sizes, protocol_version, seconds_value, selector)
from .errors import (CommunicationError, DeviceGoneError, DeviceRefusedError, IOState, KestravoError,
                     NotConnectedError, NotReadyError, PortOpenError, Result, error_class)
from .ports import NO_PERMISSION, SYSTEM_CONSOLE, PortInfo, list_ports

__version__ = "1.2.0"  # the header's COM_KESTRAVO_VERSION_STRING

__all__ = [
    "CONFIG_COUNT", "CONFIG_SIZE", "MEMORY_BLOCK_MAX", "MEMORY_SIZE", "NAME_SIZE", "RANGES", "TEST_SIZE_MAX",
    "ConfigFlags", "ConfigList", "CpuData", "Device", "DioConfig", "Fan", "Housekeeping", "Leds", "Period",
    "Source", "Time", "TotalTime", "TriggerDelay", "UnmappedComNumberWarning", "Uptime", "Version", "bytes_like",
    "checked", "is_port_name", "memory_block_sizes", "protocol_version", "seconds_value", "selector",
    "LibraryNotFoundError", "library_release", "CommunicationError", "DeviceGoneError", "DeviceRefusedError",
    "IOState", "KestravoError",
    "NotConnectedError", "NotReadyError", "PortOpenError", "Result", "error_class", "NO_PERMISSION",
    "SYSTEM_CONSOLE", "PortInfo", "list_ports", "sim", "units", "__version__",
]
