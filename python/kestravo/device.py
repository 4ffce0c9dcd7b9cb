"""One KESTRAVO device on a port slot of the library.

Every method of Device checks its arguments in Python before the library is called: an integer
(anything with __index__) outside its documented range (RANGES, the header's) raises ValueError, a
bool or another type where a number is meant raises TypeError, an int or a str where bytes are meant
raises TypeError, and a text or path with a NUL character raises ValueError. A failed library call
raises a KestravoError (a subclass for the families a script handles differently) and is logged at
WARNING on the logger "kestravo"; every call is logged at DEBUG. A closed Device raises ValueError
for every method.

Threads: a Device may be shared between threads; its calls are serialised by a lock of its own.
Devices on different slots work side by side.
"""
from __future__ import annotations

import ctypes
import logging
import math
import operator
import os
import re
import sys
import threading
import warnings
from dataclasses import dataclass
from typing import Any, Dict, Optional, Set, Tuple, Union

from . import ports, units
from ._library import encode_path, f64, i32, library, u8, u16, u32
from .errors import IOState, KestravoError, PortOpenError, Result, error_class

log = logging.getLogger("kestravo")
log.addHandler(logging.NullHandler())  # the application decides where the records go

# What the methods take where bytes are meant: anything with the buffer protocol holding bytes.
Buffer = Union[bytes, bytearray, memoryview]
# What the setters of a source take: the raw selector (0 to 63), the console program's name for it
# ("oscillator 0", "negated digital input 3"), or a Source read from any device.
SourceLike = Union[int, str, "Source"]

SLOTS = 16
CONFIG_SIZE = 75
NAME_SIZE = 52
CONFIG_COUNT = 126
MEMORY_SIZE = 16384
MEMORY_BLOCK_MAX = 4092
FW_DATE_SIZE = 12
PRODUCT_ID_SIZE = 84
# Names of configurations are bytes on the device; they are read and written as Windows-1252.
NAME_ENCODING = "cp1252"

# The documented range of every integer argument of the methods (the header's), by the kind of
# argument. A value outside raises ValueError in Python before the library is called, so that no
# value is ever cut to its C type on the way (ctypes would wrap -1 to 4294967295).
RANGES: Dict[str, Tuple[int, int]] = {
    "slot": (0, SLOTS - 1),
    "com": (1, 255),
    "pulser": (0, 3),
    "burst_pulser": (0, 1),
    "config_no": (0, 5),
    "switch": (0, 3),
    "mapping": (0, 4),
    "dio": (0, 6),
    "number": (0, CONFIG_COUNT - 1),
    "selector": (0, 0x3F),
    "half_ns": (0, 15),
    "mapping_value": (0, 15),
    "burst_size": (0, 0xFFFFFF),
    "raw": (0, 0xFFFFFFFF),
    "baud": (300, 1000000),
    "dio_mask": (0, 0x7F),
    "controller_config": (0, 0xFF),
    "address": (0, MEMORY_SIZE),
    "size": (0, MEMORY_SIZE),
}


def checked(kind: str, value: object, name: Optional[str] = None) -> int:
    """value as an int when it is an integer (an int, a NumPy integer: whatever operator.index
    takes, but not a bool) within the range RANGES[kind]; else TypeError or ValueError, naming the
    argument as name (or kind) and showing the value with repr."""
    low, high = RANGES[kind]
    try:
        if isinstance(value, bool):
            raise TypeError
        number = operator.index(value)  # type: ignore[arg-type]  # refused below if it is no integer
    except TypeError:
        raise TypeError("%s must be an int, not %r" % (name or kind, value)) from None
    if not low <= number <= high:
        raise ValueError("%s %r is out of range (%d to %d)" % (name or kind, value, low, high))
    return number


def seconds_value(value: object, name: str = "seconds") -> float:
    """value as a finite float: an int or a float (NumPy's too), not a bool; TypeError for another
    type, ValueError for an infinity or NaN."""
    if isinstance(value, bool) or isinstance(value, (str, bytes)):
        raise TypeError("%s must be a number of seconds, not %r" % (name, value))
    try:
        number = float(value)  # type: ignore[arg-type]  # refused below if it is no number
    except (TypeError, ValueError):
        raise TypeError("%s must be a number of seconds, not %r" % (name, value)) from None
    if not math.isfinite(number):
        raise ValueError("%s must be a finite number of seconds, not %r" % (name, value))
    return number


def bytes_like(value: object, name: str) -> bytes:
    """The bytes of a bytes-like value (bytes, bytearray, memoryview, an array of bytes); an int
    (which bytes() would take as a count of zeros) and a str raise TypeError, as does an array whose
    items are not single bytes."""
    if isinstance(value, (str, int)):
        raise TypeError("%s must be bytes-like, not %s %r" % (name, type(value).__name__, value))
    try:
        view = memoryview(value)  # type: ignore[arg-type]  # refused below if it is not bytes-like
    except TypeError:
        raise TypeError("%s must be bytes-like, not %s" % (name, type(value).__name__)) from None
    with view:
        if view.itemsize != 1:
            raise TypeError("%s must hold bytes, not items of %d bytes (format %r)"
                            % (name, view.itemsize, view.format))
        return view.tobytes()


def _no_nul_bytes(data: bytes, name: str) -> bytes:
    if b"\0" in data:
        raise ValueError("%s contains a NUL character: %r" % (name, data))
    return data


def _no_nul_text(text: str, name: str) -> str:
    if "\0" in text:
        raise ValueError("%s contains a NUL character: %r" % (name, text))
    return text


def _path_bytes(path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"], name: str) -> bytes:
    path = os.fspath(path)
    if isinstance(path, bytes):
        return _no_nul_bytes(path, name)
    return encode_path(path, name)


class UnmappedComNumberWarning(UserWarning):
    """A COM number without KESTRAVO_COM<n> opens the system's device /dev/ttyS<n-1> (on many
    machines /dev/ttyS0 is the system console): name the port instead."""


@dataclass(frozen=True)
class Version:
    """A version: major and minor ("1.02")."""

    major: int
    minor: int

    @classmethod
    def of(cls, word: int) -> "Version":
        """The version in a 16-bit word: major in the high byte, minor in the low."""
        return cls(word >> 8, word & 0xFF)

    def __str__(self) -> str:
        return "%d.%02d" % (self.major, self.minor)


@dataclass(frozen=True)
class Period:
    """The oscillator's period: the raw count, seconds ((raw + 2) x 10 ns) and hertz."""

    raw: int
    seconds: float
    hertz: float


@dataclass(frozen=True)
class Time:
    """A time setting: the raw count and its time in seconds."""

    raw: int
    seconds: float


@dataclass(frozen=True)
class Source:
    """A source selector: the raw byte, the source index (bits 0 to 4), negation (bit 5), and the
    console program's name for it."""

    raw: int
    source: int
    negated: bool
    name: str

    @classmethod
    def of(cls, raw: int) -> "Source":
        """The selector in a raw byte."""
        return cls(raw, raw & 0x1F, bool(raw & 0x20), units.source_name(raw))

    @classmethod
    def named(cls, name: str) -> "Source":
        """The selector the console program names name ("pulser 2 output", "negated oscillator 0";
        letter case aside); ValueError for another name."""
        return cls.of(units.source_selector(name))


def selector(value: object, name: str = "selector") -> int:
    """The raw selector (0 to 63) of a source given as a raw int, a name or a Source."""
    if isinstance(value, Source):
        return value.raw
    if isinstance(value, str):
        return units.source_selector(value)
    return checked("selector", value, name)


@dataclass(frozen=True)
class TriggerDelay:
    """A switch's trigger delays (counts of 0.5 ns)."""

    rise: Time
    fall: Time


@dataclass(frozen=True)
class CpuData:
    """The device's processor: load as a fraction (0.125 is 12.5 %), frequency in Hz."""

    load: float
    frequency: float


@dataclass(frozen=True)
class Uptime:
    """Seconds and milliseconds since the device started; optime: seconds it was enabled."""

    seconds: int
    milliseconds: int
    optime: int

    @property
    def total_seconds(self) -> float:
        """The uptime in seconds, with its milliseconds."""
        return self.seconds + self.milliseconds / 1000.0


@dataclass(frozen=True)
class TotalTime:
    """Seconds switched on (uptime) and enabled (optime) over the device's life."""

    uptime: int
    optime: int


@dataclass(frozen=True)
class Housekeeping:
    """The supplies in volts and the processor's temperature in degrees Celsius."""

    volt_12v: float
    volt_5v0: float
    volt_3v3: float
    temp_cpu: float


@dataclass(frozen=True)
class Fan:
    """One fan: enabled, failed, set and measured speed in rpm, PWM in tenths of a per cent."""

    enabled: bool
    failed: bool
    set_rpm: int
    measured_rpm: int
    pwm_raw: int

    @property
    def pwm_percent(self) -> float:
        """The PWM duty cycle in per cent."""
        return self.pwm_raw / 10.0


@dataclass(frozen=True)
class Leds:
    """The three status LEDs: True for a lit one."""

    red: bool
    green: bool
    blue: bool


@dataclass(frozen=True)
class DioConfig:
    """The DIOs' directions: bit j of outputs, DIO j is an output; of terminations, a terminated
    input."""

    outputs: int
    terminations: int

    def direction(self, dio: int) -> str:
        """The console program's word for DIO dio (0 to 6): "output", "terminated input" or
        "input"."""
        checked("dio", dio)
        if self.outputs >> dio & 1:
            return "output"
        if self.terminations >> dio & 1:
            return "terminated input"
        return "input"


@dataclass(frozen=True)
class ConfigFlags:
    """The flags of a stored configuration; deleted: valid but not active."""

    active: bool
    valid: bool

    @property
    def deleted(self) -> bool:
        """Valid and not active."""
        return self.valid and not self.active


@dataclass(frozen=True)
class ConfigList:
    """The active and valid flags of the 126 stored configurations (0 to 125)."""

    active: Tuple[bool, ...]
    valid: Tuple[bool, ...]


def protocol_version() -> Version:
    """The device protocol version of the library (major and minor)."""
    return Version.of(int(library().COM_KESTRAVO_GetSWVersion()))


# Slots taken by Device objects of this process.
_registry_lock = threading.Lock()
_slots_taken: Set[int] = set()


def _take_slot(slot: Optional[int]) -> int:
    if slot is not None:
        checked("slot", slot)
    with _registry_lock:
        if slot is None:
            free = [s for s in range(SLOTS) if s not in _slots_taken]
            if not free:
                raise RuntimeError("all %d port slots are in use" % SLOTS)
            slot = free[0]
        elif slot in _slots_taken:
            raise RuntimeError("port slot %d is in use by another Device" % slot)
        _slots_taken.add(slot)
        return slot


def is_port_name(text: str) -> bool:
    """A device path ("/dev/ttyUSB0"; on Windows "COM7" or "\\\\.\\COM7"), "sim", "sim:<file>" or
    "rfc2217://host:port": the names the console program takes."""
    if text == "sim" or text.startswith("sim:") or text.startswith("rfc2217://"):
        return True
    if sys.platform == "win32":
        return text.startswith("\\\\.\\") or re.fullmatch(r"(?i)COM[1-9][0-9]{0,2}", text) is not None
    return text.startswith("/")


def _text(value: Optional[bytes]) -> str:
    return (value or b"").decode("latin-1")


def _shown(value: Any) -> str:
    """An argument of a library call as the debug log shows it."""
    if isinstance(value, (int, bytes)):
        return repr(value)
    if isinstance(value, ctypes.Array):
        return "<%d bytes>" % ctypes.sizeof(value)
    return "<out>"


class Device:
    """A KESTRAVO device, opened on a port slot of the library.

    port: a name (a device path such as "/dev/ttyUSB0" or a /dev/serial/by-id path, "sim",
    "sim:<file>", "rfc2217://host:port"; on Windows "COM7"), opened by that name; or a COM number
    (1 to 255: what KESTRAVO_COM<n> names, else /dev/ttyS<n-1> with an UnmappedComNumberWarning, on
    Windows COMn). slot: the library's port slot (0 to 15; None: the lowest one this process does
    not use; one another Device uses is refused). debug_file: the library's debug trace of the slot.
    allow_system_console: open the port even when the kernel's console is on it (list_ports() flags
    it SYSTEM_CONSOLE); otherwise PortOpenError before anything is opened, since the opening would
    raise DTR and RTS and send the purge handshake to the console.
    The device opens at once; use it in a with block or call close(). A KeyboardInterrupt during the
    opening (which it receives only when the library returns: up to about 8.5 s where no device
    answers) closes what was opened, so the port can be opened again at once.

    Raises ValueError or TypeError for a bad port, slot or debug file, RuntimeError when no slot is
    free, and a KestravoError (PortOpenError, NotConnectedError, ...) when the opening fails.
    """

    def __init__(self, port: Union[int, str], slot: Optional[int] = None,
                 debug_file: Optional[Union[str, "os.PathLike[str]"]] = None, *,
                 allow_system_console: bool = False) -> None:
        self._library = library()
        self._open = False
        self._closed = False  # close() or shutdown() was called: the Device is done
        self._calls = threading.RLock()  # one call at a time on this Device, whatever the thread
        self._baud = 9600  # the line's rate as this Device set it; the memory blocks are sized by it
        self.com: Optional[int]
        self.port_name: str
        if isinstance(port, str) and port.isdigit():
            port = int(port)
        if isinstance(port, str):
            _no_nul_text(port, "port")
            if not is_port_name(port):
                raise ValueError("not a port: %r (a COM number, a device path, sim, sim:<file> or "
                                 "rfc2217://host:port)" % port)
            # Opened by its name (COM_KESTRAVO_OpenPort): the environment is left alone.
            self.com = None
            self.port_name = port
            device_path = port
        else:
            try:
                if isinstance(port, bool):
                    raise TypeError
                number = operator.index(port)
            except TypeError:
                raise TypeError("port must be a COM number or a name, not %r" % (port,)) from None
            if not 1 <= number <= 255:
                raise ValueError("COM number %r: COM numbers run from 1 to 255" % (port,))
            self.com = number
            mapped = os.environ.get("KESTRAVO_COM%d" % number)
            self.port_name = mapped or "COM%d" % number
            device_path = mapped or "/dev/ttyS%d" % (number - 1)
            if mapped is None and sys.platform != "win32":
                warnings.warn("COM%d: KESTRAVO_COM%d is not set: opening /dev/ttyS%d" % (number, number, number - 1),
                              UnmappedComNumberWarning, stacklevel=2)
        self._trace = None if debug_file is None else _path_bytes(debug_file, "debug_file")
        self._name_bytes = encode_path(self.port_name, "port")
        if not allow_system_console and sys.platform != "win32" and ports.is_system_console(device_path):
            # Opening it would raise DTR and RTS and send the purge handshake to the console.
            raise PortOpenError("COM_KESTRAVO_Open" if self.com else "COM_KESTRAVO_OpenPort", Result.OPEN_FAILED,
                                "Error opening the port", IOState.IO_NOT_OPEN, "Port has not been opened yet",
                                "%s is the kernel's console (list_ports() flags it %r); pass "
                                "allow_system_console=True to open it all the same"
                                % (device_path, ports.SYSTEM_CONSOLE))
        self.slot = -1
        self._open_slot(slot)

    def _open_slot(self, slot: Optional[int]) -> None:
        # Every way out of an opening that did not finish, Ctrl-C's KeyboardInterrupt included,
        # closes what was opened: a port left open would be "in use" until the process ends.
        taken = False
        try:
            self.slot = _take_slot(slot)
            taken = True
            if self._trace is not None:
                self._raw_call("OpenDebugFile", self._trace)
            if self.com is None:
                self._raw_call("OpenPort", self._name_bytes)
            else:
                self._raw_call("Open", self.com)
            self._baud = 9600
            self._open = True
        except BaseException:
            if taken:
                # A device that opened but did not answer keeps its port open until Close.
                self._library.COM_KESTRAVO_Close(self.slot)
                self._library.COM_KESTRAVO_CloseDebugFile(self.slot)
                self._release()
            raise

    # Plumbing. Every method reaches the library through _call, which refuses a closed Device: its
    # slot may belong to another Device by now.
    def _failure(self, name: str, code: int) -> KestravoError:
        lib, slot = self._library, self.slot
        message = _text(lib.COM_KESTRAVO_GetErrorMessage(slot))
        io_state = int(lib.COM_KESTRAVO_GetIOState(slot))
        io_message = _text(lib.COM_KESTRAVO_GetIOErrorMessage(slot))
        reason = b""
        if name in ("Open", "OpenPort"):
            reason = lib.COM_KESTRAVO_GetOpenFailureReason(slot) or b""
        return error_class(code, io_state)("COM_KESTRAVO_" + name, code, message, io_state, io_message,
                                           reason.decode("utf-8", "replace"))

    def _raw_call(self, name: str, *args: Any) -> None:
        with self._calls:
            code = int(getattr(self._library, "COM_KESTRAVO_" + name)(self.slot, *args))
            if code != 0:
                error = self._failure(name, code)
                # A failed call may leave the line at 9600 baud (purges and recoveries start there).
                self._baud = 9600
                log.warning("%s: %s", self.port_name, error)
                raise error
            if log.isEnabledFor(logging.DEBUG):
                log.debug("COM_KESTRAVO_%s(%s) on %s: ok", name,
                          ", ".join(_shown(a) for a in (self.slot,) + args), self.port_name)

    def _check_open(self) -> None:
        if not self._open:
            raise ValueError("the device on %s is closed" % self.port_name)

    def _call(self, name: str, *args: Any) -> None:
        with self._calls:
            self._check_open()
            self._raw_call(name, *args)

    def _get(self, name: str, ctype: Any, *args: Any) -> int:
        value = ctype()
        self._call(name, *args, ctypes.byref(value))
        return int(value.value)

    def _slot_value(self, function: str) -> Any:
        with self._calls:
            self._check_open()
            return getattr(self._library, "COM_KESTRAVO_" + function)(self.slot)

    def _release(self) -> None:
        with _registry_lock:
            _slots_taken.discard(self.slot)

    # Opening and closing.
    def close(self) -> None:
        """Closes the port (its lines dropped) and the debug file. Closing twice does nothing.
        Raises a KestravoError when the port could not be closed (the slot is free all the same)."""
        with self._calls:
            self._closed = True
            if not self._open:
                return
            self._open = False
            try:
                self._raw_call("Close")
            finally:
                self._library.COM_KESTRAVO_CloseDebugFile(self.slot)
                self._release()

    def reopen(self) -> None:
        """Closes the port, whatever state it is in (a failure to close a port that is gone is
        ignored), and opens it again on the same slot with the same debug file: after a
        DeviceGoneError, once the device is back. Raises as the opening does; the Device is not open
        then, and reopen() may be called again. ValueError after close() or shutdown()."""
        with self._calls:
            if self._closed:
                self._check_open()
            slot = self.slot
            try:
                self.close()
            except KestravoError:
                pass
            self._closed = False
            self._open_slot(slot)

    def shutdown(self) -> None:
        """Disables the device (its high voltage off) and closes it: the end for a control system.
        The port is closed even when disabling fails, and that failure is raised then."""
        with self._calls:
            try:
                self.set_device_enabled(False)
            finally:
                self.close()

    def __enter__(self) -> "Device":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            if getattr(self, "_open", False):
                self.close()
        except Exception:
            pass

    def __repr__(self) -> str:
        return "<kestravo.Device %s on slot %d%s>" % (self.port_name, self.slot, "" if self._open else ", closed")

    @property
    def is_open(self) -> bool:
        """True until close()."""
        return self._open

    # The slot's state.
    @property
    def interface_state(self) -> int:
        """The slot's last result code (0 after a success)."""
        return int(self._slot_value("GetInterfaceState"))

    @property
    def error_message(self) -> str:
        """The text of the slot's last result ("No error" after a success)."""
        return _text(self._slot_value("GetErrorMessage"))

    @property
    def io_state(self) -> int:
        """The slot's serial port error code (an IOState value)."""
        return int(self._slot_value("GetIOState"))

    @property
    def io_error_message(self) -> str:
        """The text of the slot's serial port error code."""
        return _text(self._slot_value("GetIOErrorMessage"))

    # The link.
    def purge(self) -> None:
        """Purges the PC side of the line and the device's buffers (both ends back at 9600 baud).
        This is also what brings the link back in step when every call fails with -13 (Wrong command
        received): a reply left on the line by an interrupted exchange."""
        with self._calls:
            self._call("Purge")
            self._baud = 9600

    def set_baud_rate(self, baud: int) -> int:
        """Changes both ends to baud (300 to 1000000) and returns the rate set. After a failure both
        ends are back at 9600 baud."""
        value = u32(checked("baud", baud))
        with self._calls:
            self._call("SetBaudRate", ctypes.byref(value))
            self._baud = int(value.value)
        return int(value.value)

    def device_purge(self) -> bool:
        """Asks the device to empty its buffers; True when it did."""
        return bool(self._get("DevicePurge", i32))

    def buffer_empty(self) -> bool:
        """True when the device's buffers are empty."""
        return bool(self._get("GetBufferState", i32))

    def restart(self) -> None:
        """The device restarts and comes back at 9600 baud with its settings reset (its stored
        configurations and memory kept)."""
        with self._calls:
            self._call("Restart")
            self._baud = 9600

    def open_debug_file(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Starts the slot's debug trace in the file path (created or replaced)."""
        self._call("OpenDebugFile", _path_bytes(path, "path"))

    def close_debug_file(self) -> None:
        """Ends the slot's debug trace."""
        self._call("CloseDebugFile")

    # Identity and monitoring.
    def hw_type(self) -> int:
        """The hardware type code (0x4B53)."""
        return self._get("GetHWType", u16)

    def hw_version(self) -> Version:
        """The hardware version."""
        return Version.of(self._get("GetHWVersion", u16))

    def fw_version(self) -> Version:
        """The firmware version."""
        return Version.of(self._get("GetFWVersion", u16))

    def fw_date(self) -> str:
        """The firmware date, "Mmm dd yyyy"."""
        buffer = ctypes.create_string_buffer(FW_DATE_SIZE)
        self._call("GetFWDate", buffer)
        return buffer.value.decode("latin-1")

    def product_id(self) -> str:
        """The product identification text (at most 83 characters)."""
        buffer = ctypes.create_string_buffer(PRODUCT_ID_SIZE)
        self._call("GetProductID", buffer)
        return buffer.value.decode("latin-1")

    def product_no(self) -> int:
        """The product number."""
        return self._get("GetProductNo", u32)

    def main_state(self) -> int:
        """0x0000 active, 0x8001 voltage failure, 0x8002 low temperature, 0x8003 high temperature,
        0x8004 controller not ready."""
        return self._get("GetMainState", u16)

    def device_state(self) -> int:
        """Failure bits: 0 and 1 CPU and fan voltage, 8 to 10 fans, 16 to 18 sensors hot, 24 to 26
        sensors cold, 15 controller disabled."""
        return self._get("GetDeviceState", u32)

    def cpu_data(self) -> CpuData:
        """The processor's load (a fraction) and frequency (Hz)."""
        load, frequency = f64(), f64()
        self._call("GetCPUData", ctypes.byref(load), ctypes.byref(frequency))
        return CpuData(load.value, frequency.value)

    def uptime(self) -> Uptime:
        """Seconds and milliseconds since the device started, and seconds it was enabled."""
        seconds, milliseconds, optime = u32(), u16(), u32()
        self._call("GetUptime", ctypes.byref(seconds), ctypes.byref(milliseconds), ctypes.byref(optime))
        return Uptime(seconds.value, milliseconds.value, optime.value)

    def total_time(self) -> TotalTime:
        """Seconds switched on and enabled over the device's life."""
        uptime, optime = u32(), u32()
        self._call("GetTotalTime", ctypes.byref(uptime), ctypes.byref(optime))
        return TotalTime(uptime.value, optime.value)

    def housekeeping(self) -> Housekeeping:
        """The supply voltages (V) and the processor's temperature (degrees Celsius)."""
        values = [f64() for _ in range(4)]
        self._call("GetHousekeeping", *[ctypes.byref(v) for v in values])
        return Housekeeping(values[0].value, values[1].value, values[2].value, values[3].value)

    def sensor_temperatures(self) -> Tuple[Optional[float], ...]:
        """The three temperatures in degrees Celsius (None for a sensor that gives no reading)."""
        values = (f64 * 3)()
        self._call("GetSensorData", values)
        return tuple(None if v == 65535.0 else float(v) for v in values)

    def fans(self) -> Tuple[Fan, ...]:
        """The three fans."""
        enabled, failed = (i32 * 3)(), (i32 * 3)()
        set_rpm, measured, pwm = (u16 * 3)(), (u16 * 3)(), (u16 * 3)()
        self._call("GetFanData", enabled, failed, set_rpm, measured, pwm)
        return tuple(Fan(bool(enabled[k]), bool(failed[k]), set_rpm[k], measured[k], pwm[k]) for k in range(3))

    def leds(self) -> Leds:
        """The three status LEDs."""
        red, green, blue = i32(), i32(), i32()
        self._call("GetLEDData", ctypes.byref(red), ctypes.byref(green), ctypes.byref(blue))
        return Leds(bool(red.value), bool(green.value), bool(blue.value))

    # Pulse generator. Setters take the raw count (0 to 4294967295), or seconds= (rounded to the
    # nearest 10 ns step; ValueError where no count is that time).
    def oscillator_period(self) -> Period:
        """The oscillator's period: (raw + 2) x 10 ns."""
        raw = self._get("GetOscillatorPeriod", u32)
        return Period(raw, units.oscillator_seconds(raw), units.oscillator_hertz(raw))

    def set_oscillator_period(self, raw: Optional[int] = None, *, seconds: Optional[float] = None) -> None:
        """Sets the oscillator's period: raw (0 to 4294967295) or seconds."""
        self._call("SetOscillatorPeriod", _raw(raw, seconds, units.OSCILLATOR_OFFSET))

    def pulser_delay(self, pulser: int) -> Time:
        """The delay of pulser 0 to 3: (raw + 3) x 10 ns."""
        raw = self._get("GetPulserDelay", u32, checked("pulser", pulser))
        return Time(raw, units.pulser_delay_seconds(raw))

    def set_pulser_delay(self, pulser: int, raw: Optional[int] = None, *, seconds: Optional[float] = None) -> None:
        """Sets the delay of pulser 0 to 3: raw (0 to 4294967295) or seconds."""
        self._call("SetPulserDelay", checked("pulser", pulser), _raw(raw, seconds, units.PULSER_DELAY_OFFSET))

    def pulser_width(self, pulser: int) -> Time:
        """The width of pulser 0 to 3: (raw + 2) x 10 ns."""
        raw = self._get("GetPulserWidth", u32, checked("pulser", pulser))
        return Time(raw, units.pulser_width_seconds(raw))

    def set_pulser_width(self, pulser: int, raw: Optional[int] = None, *, seconds: Optional[float] = None) -> None:
        """Sets the width of pulser 0 to 3: raw (0 to 4294967295) or seconds."""
        self._call("SetPulserWidth", checked("pulser", pulser), _raw(raw, seconds, units.PULSER_WIDTH_OFFSET))

    def pulser_burst(self, pulser: int) -> int:
        """The burst size of pulser 0 or 1."""
        return self._get("GetPulserBurst", u32, checked("burst_pulser", pulser, "pulser"))

    def set_pulser_burst(self, pulser: int, size: int) -> None:
        """Sets the burst size (0 to 16777215) of pulser 0 or 1."""
        self._call("SetPulserBurst", checked("burst_pulser", pulser, "pulser"), checked("burst_size", size, "size"))

    def pulser_config(self, config_no: int) -> Source:
        """The source selector config_no 0 to 5: pulser 0, burst 0, pulser 1, burst 1, pulser 2,
        pulser 3."""
        return Source.of(self._get("GetPulserConfig", u8, checked("config_no", config_no)))

    def set_pulser_config(self, config_no: int, source: SourceLike) -> None:
        """Sets source selector config_no (0 to 5) to source: a raw selector (0 to 63: bits 0 to 4
        the source, bit 5 negation), the console program's name for it, or a Source."""
        self._call("SetPulserConfig", checked("config_no", config_no), selector(source, "source"))

    # Switches.
    def switch_trigger_config(self, switch: int) -> Source:
        """The trigger source of switch 0 to 3."""
        return Source.of(self._get("GetSwitchTriggerConfig", u8, checked("switch", switch)))

    def set_switch_trigger_config(self, switch: int, source: SourceLike) -> None:
        """Sets the trigger source of switch 0 to 3 (a selector 0 to 63, a name or a Source)."""
        self._call("SetSwitchTriggerConfig", checked("switch", switch), selector(source, "source"))

    def switch_enable_config(self, switch: int) -> Source:
        """The enable source of switch 0 to 3."""
        return Source.of(self._get("GetSwitchEnableConfig", u8, checked("switch", switch)))

    def set_switch_enable_config(self, switch: int, source: SourceLike) -> None:
        """Sets the enable source of switch 0 to 3 (a selector 0 to 63, a name or a Source)."""
        self._call("SetSwitchEnableConfig", checked("switch", switch), selector(source, "source"))

    def switch_trigger_delay(self, switch: int) -> TriggerDelay:
        """The rise and fall delays of switch 0 to 3's trigger (counts of 0.5 ns)."""
        rise, fall = u8(), u8()
        self._call("GetSwitchTriggerDelay", checked("switch", switch), ctypes.byref(rise), ctypes.byref(fall))
        return TriggerDelay(_half_ns(rise.value), _half_ns(fall.value))

    def set_switch_trigger_delay(self, switch: int, rise: Optional[int] = None, fall: Optional[int] = None, *,
                                 rise_seconds: Optional[float] = None, fall_seconds: Optional[float] = None) -> None:
        """Sets the trigger delays of switch 0 to 3: rise and fall each in counts of 0.5 ns (0 to 15),
        or as rise_seconds and fall_seconds (0 to 7.5e-9, rounded to the nearest 0.5 ns)."""
        self._call("SetSwitchTriggerDelay", checked("switch", switch), _half_ns_count(rise, rise_seconds, "rise"),
                   _half_ns_count(fall, fall_seconds, "fall"))

    def switch_enable_delay(self, switch: int) -> Time:
        """The enable delay of switch 0 to 3 (counts of 0.5 ns)."""
        return _half_ns(self._get("GetSwitchEnableDelay", u8, checked("switch", switch)))

    def set_switch_enable_delay(self, switch: int, delay: Optional[int] = None, *,
                                seconds: Optional[float] = None) -> None:
        """Sets the enable delay of switch 0 to 3 in counts of 0.5 ns (0 to 15), or in seconds (0 to
        7.5e-9, rounded to the nearest 0.5 ns)."""
        self._call("SetSwitchEnableDelay", checked("switch", switch), _half_ns_count(delay, seconds, "delay"))

    def switch_trigger_mapping(self, mapping: int) -> int:
        """Trigger mapping 0 to 4 (4 bits)."""
        return self._get("GetSwitchTriggerMapping", u8, checked("mapping", mapping))

    def set_switch_trigger_mapping(self, mapping: int, value: int) -> None:
        """Sets trigger mapping 0 to 4 to value (0 to 15)."""
        self._call("SetSwitchTriggerMapping", checked("mapping", mapping), checked("mapping_value", value, "value"))

    def switch_enable_mapping(self, mapping: int) -> int:
        """Enable mapping 0 to 4 (4 bits)."""
        return self._get("GetSwitchEnableMapping", u8, checked("mapping", mapping))

    def set_switch_enable_mapping(self, mapping: int, value: int) -> None:
        """Sets enable mapping 0 to 4 to value (0 to 15)."""
        self._call("SetSwitchEnableMapping", checked("mapping", mapping), checked("mapping_value", value, "value"))

    def switch_trigger_mapping_enabled(self) -> bool:
        """True when the trigger mapping is on."""
        return bool(self._get("GetSwitchTriggerMappingEnable", u8))

    def set_switch_trigger_mapping_enabled(self, on: bool) -> None:
        """Turns the trigger mapping on or off."""
        self._call("SetSwitchTriggerMappingEnable", 1 if on else 0)

    def switch_enable_mapping_enabled(self) -> bool:
        """True when the enable mapping is on."""
        return bool(self._get("GetSwitchEnableMappingEnable", u8))

    def set_switch_enable_mapping_enabled(self, on: bool) -> None:
        """Turns the enable mapping on or off."""
        self._call("SetSwitchEnableMappingEnable", 1 if on else 0)

    # DIOs and controller.
    def input_config(self) -> DioConfig:
        """The DIOs' directions."""
        outputs, terminations = u8(), u8()
        self._call("GetInputConfig", ctypes.byref(outputs), ctypes.byref(terminations))
        return DioConfig(outputs.value, terminations.value)

    def set_input_config(self, outputs: int, terminations: int) -> None:
        """Sets the DIOs' directions: bit j (0 to 6) of outputs, DIO j an output; of terminations, a
        terminated input (each 0 to 127)."""
        self._call("SetInputConfig", checked("dio_mask", outputs, "outputs"),
                   checked("dio_mask", terminations, "terminations"))

    def output_config(self, dio: int) -> Source:
        """The source of output DIO 0 to 6."""
        return Source.of(self._get("GetOutputConfig", u8, checked("dio", dio)))

    def set_output_config(self, dio: int, source: SourceLike) -> None:
        """Sets the source of output DIO 0 to 6 (a selector 0 to 63, a name or a Source)."""
        self._call("SetOutputConfig", checked("dio", dio), selector(source, "source"))

    def device_enabled(self) -> bool:
        """True when the device is enabled."""
        return bool(self._get("GetDeviceEnable", i32))

    def set_device_enabled(self, on: bool) -> None:
        """Enables or disables the device."""
        self._call("SetDeviceEnable", 1 if on else 0)

    def controller_state(self) -> int:
        """Bits: 0 device enable, 1 oscillator enable, 2 pulser enable, 3 software trigger, 4 software
        pulse, 5 prevent device disable, 6 dithering disable, 8 master enable, 9 software trigger
        output, 10 device enabled."""
        return self._get("GetControllerState", u16)

    def set_controller_config(self, config: int) -> None:
        """Sets bits 0 to 6 of the controller state from config (0 to 255)."""
        self._call("SetControllerConfig", checked("controller_config", config, "config"))

    # Configurations: blocks of 75 bytes, stored configurations numbered 0 to 125.
    def reset_current_config(self) -> None:
        """Resets the current configuration to the device's defaults."""
        self._call("ResetCurrentConfig")

    def current_config(self) -> bytes:
        """The current configuration block (75 bytes)."""
        block = (u8 * CONFIG_SIZE)()
        self._call("GetCurrentConfig", block)
        return bytes(block)

    def set_current_config(self, block: "Buffer") -> None:
        """Makes a 75-byte block the current configuration."""
        self._call("SetCurrentConfig", _block(block))

    def config_data(self, number: int) -> bytes:
        """The block of stored configuration 0 to 125."""
        block = (u8 * CONFIG_SIZE)()
        self._call("GetConfigData", checked("number", number), block)
        return bytes(block)

    def set_config_data(self, number: int, block: "Buffer") -> None:
        """Writes a 75-byte block into stored configuration 0 to 125."""
        self._call("SetConfigData", checked("number", number), _block(block))

    def config_list(self) -> ConfigList:
        """The flags of all 126 stored configurations."""
        active, valid = (u8 * CONFIG_COUNT)(), (u8 * CONFIG_COUNT)()
        self._call("GetConfigList", active, valid)
        return ConfigList(tuple(bool(a) for a in active), tuple(bool(v) for v in valid))

    def save_current_config(self, number: int) -> None:
        """Stores the current configuration as 0 to 125 (valid and active)."""
        self._call("SaveCurrentConfig", checked("number", number))

    def load_current_config(self, number: int) -> None:
        """Makes stored configuration 0 to 125 current; DeviceRefusedError for one that is not
        valid."""
        self._call("LoadCurrentConfig", checked("number", number))

    def config_name(self, number: int) -> str:
        """The name of stored configuration 0 to 125 (Windows-1252)."""
        name = (u8 * NAME_SIZE)()
        self._call("GetConfigName", checked("number", number), name)
        return bytes(name).split(b"\0", 1)[0].decode(NAME_ENCODING, "replace")

    def set_config_name(self, number: int, name: Union[str, "Buffer"]) -> None:
        """Names stored configuration 0 to 125: at most 52 bytes of Windows-1252 (a str, or
        bytes-like), no NUL."""
        number = checked("number", number)
        encoded = _no_nul_bytes(name.encode(NAME_ENCODING) if isinstance(name, str) else bytes_like(name, "name"),
                                "name")
        if len(encoded) > NAME_SIZE:
            raise ValueError("a configuration name has at most %d bytes: %r" % (NAME_SIZE, name))
        self._call("SetConfigName", number, (u8 * NAME_SIZE)(*encoded))

    def config_flags(self, number: int) -> ConfigFlags:
        """The flags of stored configuration 0 to 125."""
        active, valid = u8(), u8()
        self._call("GetConfigFlags", checked("number", number), ctypes.byref(active), ctypes.byref(valid))
        return ConfigFlags(bool(active.value), bool(valid.value))

    def set_config_flags(self, number: int, active: bool, valid: bool) -> None:
        """Sets the flags of stored configuration 0 to 125."""
        self._call("SetConfigFlags", checked("number", number), 1 if active else 0, 1 if valid else 0)

    # Memory data (16384 bytes) and link test.
    def memory_block_sizes(self) -> Tuple[int, int]:
        """The block sizes (bytes) memory_data() and set_memory_data() use at the line's present
        rate: blocks that take about a second on the wire, so that Ctrl-C (which Python handles only
        between library calls) arrives within about 1.5 s even at 9600 baud; 4092 bytes at 115200
        baud and above for reading, 1 Mbaud for writing."""
        self._check_open()
        return memory_block_sizes(self._baud)

    def memory_data(self, address: int, size: int) -> bytes:
        """size bytes from address, all inside the 16 KiB area, read in blocks (memory_block_sizes).
        A KeyboardInterrupt leaves the device usable: it arrives between two blocks."""
        _area(address, size)
        out = bytearray()
        while len(out) < size:
            count = min(self.memory_block_sizes()[0], size - len(out))
            block = (u8 * count)()
            self._call("GetMemoryData", address + len(out), count, block)
            out += bytes(block)
        return bytes(out)

    def set_memory_data(self, address: int, data: "Buffer") -> None:
        """Writes data (bytes-like: bytes, bytearray, memoryview) from address (all inside the 16 KiB
        area) into the device's working copy, in blocks (memory_block_sizes);
        update_memory_data() makes it the device's own. A KeyboardInterrupt arrives between two
        blocks: the blocks before it are written."""
        data = bytes_like(data, "data")
        _area(address, len(data))
        at = 0
        while at < len(data):
            chunk = data[at:at + self.memory_block_sizes()[1]]
            self._call("SetMemoryData", address + at, len(chunk), (u8 * len(chunk)).from_buffer_copy(chunk))
            at += len(chunk)

    def update_memory_data(self) -> None:
        """Makes the memory written so far the device's own (kept across a restart)."""
        self._call("UpdateMemoryData")

    def test(self, data: Union[str, "Buffer"]) -> None:
        """The device echoes data (a text of Latin-1, or bytes-like) back; DeviceRefusedError when
        the echo differs. The data may not hold a NUL (it ends the text) or a carriage return (it
        ends the device's frame: the echo could never be read back), and is at most 8191 bytes (the
        echo must fit the library's buffer): ValueError before anything is sent."""
        if isinstance(data, str):
            try:
                encoded = data.encode("latin-1")
            except UnicodeEncodeError as error:
                raise ValueError("test data must be Latin-1 text: %r is not" % data[error.start:error.end]) from None
        else:
            encoded = bytes_like(data, "data")
        _no_nul_bytes(encoded, "data")
        if b"\r" in encoded:
            raise ValueError("test data may not hold a carriage return (at %d): it ends the device's frame"
                             % encoded.index(b"\r"))
        if len(encoded) > TEST_SIZE_MAX:
            raise ValueError("test data has at most %d bytes, not %d" % (TEST_SIZE_MAX, len(encoded)))
        self._call("Test", encoded)

    # What a script does often, in one call.
    def software_trigger(self, start: int = 0x10, stop: int = 0x00) -> Tuple[int, int, int]:
        """Issues a software trigger as the console program's 'a' key and -a switch do: reads the
        controller state s, then writes the configuration twice, keeping every bit of s but bits 3
        (software trigger) and 4 (software pulse), which are taken from start and then from stop
        (masks 0 to 255: only 0x18 counts). The defaults pulse once and leave both bits 0;
        start=0x18, stop=0x08 is the -A switch, which leaves the trigger bit set. Returns the three
        state words (s, then the two written), as the console program prints them."""
        start, stop = checked("controller_config", start, "start"), checked("controller_config", stop, "stop")
        with self._calls:
            state = self.controller_state()
            first, second = (state & 0xFFE7) | (start & 0x18), (state & 0xFFE7) | (stop & 0x18)
            self.set_controller_config(first & 0xFF)
            self.set_controller_config(second & 0xFF)
        return state, first, second

    def find_config(self, name: str) -> Optional[int]:
        """The number of the first stored configuration in use (valid and active) named name
        exactly, or None: the configuration to load_current_config() by its name."""
        _no_nul_text(name, "name")
        with self._calls:
            listed = self.config_list()
            for number in range(CONFIG_COUNT):
                if listed.valid[number] and listed.active[number] and self.config_name(number) == name:
                    return number
        return None


TEST_SIZE_MAX = 8191  # the longest echo that fits the library's 8192-character buffer
# The wire time of one memory block (s) that sets the blocks' size; a character takes 11 bits (start,
# 8 data, parity, stop), a byte two characters each way it travels.
MEMORY_BLOCK_SECONDS = 1.0


def memory_block_sizes(baud: int) -> Tuple[int, int]:
    """The sizes of the blocks for reading and for writing memory at baud: as many bytes as take
    MEMORY_BLOCK_SECONDS on the wire (a read carries each byte once as two characters, a write twice),
    between 16 and 4092, in whole multiples of 4."""
    characters = baud / 11.0 * MEMORY_BLOCK_SECONDS
    def fitted(count: float) -> int:
        return max(16, min(MEMORY_BLOCK_MAX, int(count) // 4 * 4))
    return fitted((characters - 20) / 2), fitted((characters - 20) / 4)


def _raw(raw: Optional[int], seconds: Optional[float], offset: int) -> int:
    if (raw is None) == (seconds is None):
        raise TypeError("give either the raw count or seconds=")
    if seconds is not None:
        return units.seconds_steps(seconds_value(seconds), offset)
    return checked("raw", raw, "the count")


def _half_ns_count(count: Optional[int], seconds: Optional[float], name: str) -> int:
    if (count is None) == (seconds is None):
        raise TypeError("give %s either as a count of 0.5 ns or in seconds" % name)
    if seconds is not None:
        return units.switch_delay_steps(seconds_value(seconds, name + " seconds"))
    return checked("half_ns", count, name)


def _area(address: int, size: int) -> None:
    checked("address", address)
    checked("size", size)
    if address + size > MEMORY_SIZE:
        raise ValueError("%d bytes from address %d reach beyond the %d-byte memory" % (size, address, MEMORY_SIZE))


def _half_ns(raw: int) -> Time:
    return Time(raw, units.switch_delay_seconds(raw))


def _block(block: "Buffer") -> "ctypes.Array[ctypes.c_uint8]":
    block = bytes_like(block, "block")
    if len(block) != CONFIG_SIZE:
        raise ValueError("a configuration block has %d bytes, not %d" % (CONFIG_SIZE, len(block)))
    return (u8 * CONFIG_SIZE).from_buffer_copy(block)
