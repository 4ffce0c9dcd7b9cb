"""One KESTRAVO device on a port slot of the library.

Every method of Device checks its arguments in Python before the library is called: an integer
outside its documented range (RANGES, the header's) raises ValueError, a bool or another type where
a number is meant raises TypeError, and a text or path with a NUL character raises ValueError. A
failed library call raises a KestravoError (a subclass for the families a script handles
differently). A closed Device raises ValueError for every method.

Threads: a Device may be shared between threads; its calls are serialised by a lock of its own.
Devices on different slots work side by side.
"""
from __future__ import annotations

import ctypes
import os
import re
import sys
import threading
import warnings
from dataclasses import dataclass
from typing import Any, Dict, Optional, Set, Tuple, Union

from . import units
from ._library import f64, i32, library, u8, u16, u32
from .errors import KestravoError, error_class

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
    """value when it is an int (not a bool) within the range RANGES[kind]; else TypeError or
    ValueError, naming the argument as name (or kind)."""
    low, high = RANGES[kind]
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError("%s must be an int, not %r" % (name or kind, value))
    if not low <= value <= high:
        raise ValueError("%s %d is out of range (%d to %d)" % (name or kind, value, low, high))
    return value


def _no_nul_bytes(data: bytes, name: str) -> bytes:
    if b"\0" in data:
        raise ValueError("%s contains a NUL character: %r" % (name, data))
    return data


def _no_nul_text(text: str, name: str) -> str:
    if "\0" in text:
        raise ValueError("%s contains a NUL character: %r" % (name, text))
    return text


def _path_bytes(path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"], name: str) -> bytes:
    return _no_nul_bytes(os.fsencode(path), name)


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


class Device:
    """A KESTRAVO device, opened on a port slot of the library.

    port: a name (a device path such as "/dev/ttyUSB0" or a /dev/serial/by-id path, "sim",
    "sim:<file>", "rfc2217://host:port"; on Windows "COM7"), opened by that name; or a COM number
    (1 to 255: what KESTRAVO_COM<n> names, else /dev/ttyS<n-1> with an UnmappedComNumberWarning, on
    Windows COMn). slot: the library's port slot (0 to 15; None: the lowest one this process does
    not use; one another Device uses is refused). debug_file: the library's debug trace of the slot.
    The device opens at once; use it in a with block or call close().

    Raises ValueError or TypeError for a bad port, slot or debug file, RuntimeError when no slot is
    free, and a KestravoError (PortOpenError, NotConnectedError, ...) when the opening fails.
    """

    def __init__(self, port: Union[int, str], slot: Optional[int] = None,
                 debug_file: Optional[Union[str, "os.PathLike[str]"]] = None) -> None:
        self._library = library()
        self._open = False
        self._calls = threading.RLock()  # one call at a time on this Device, whatever the thread
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
        else:
            if isinstance(port, bool) or not isinstance(port, int):
                raise TypeError("port must be a COM number or a name, not %r" % (port,))
            if not 1 <= port <= 255:
                raise ValueError("COM number %d: COM numbers run from 1 to 255" % port)
            self.com = port
            mapped = os.environ.get("KESTRAVO_COM%d" % port)
            self.port_name = mapped or "COM%d" % port
            if mapped is None and sys.platform != "win32":
                warnings.warn("COM%d: KESTRAVO_COM%d is not set: opening /dev/ttyS%d" % (port, port, port - 1),
                              UnmappedComNumberWarning, stacklevel=2)
        trace = None if debug_file is None else _path_bytes(debug_file, "debug_file")
        self.slot = _take_slot(slot)
        try:
            if trace is not None:
                self._raw_call("OpenDebugFile", trace)
            if self.com is None:
                self._raw_call("OpenPort", self.port_name.encode("utf-8"))
            else:
                self._raw_call("Open", self.com)
            self._open = True
        except Exception:
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
        return error_class(code)("COM_KESTRAVO_" + name, code, message, io_state, io_message,
                                 reason.decode("utf-8", "replace"))

    def _raw_call(self, name: str, *args: Any) -> None:
        with self._calls:
            code = int(getattr(self._library, "COM_KESTRAVO_" + name)(self.slot, *args))
            if code != 0:
                raise self._failure(name, code)

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
            if not self._open:
                return
            self._open = False
            try:
                self._raw_call("Close")
            finally:
                self._library.COM_KESTRAVO_CloseDebugFile(self.slot)
                self._release()

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
        """Purges the PC side of the line and the device's buffers (both ends back at 9600 baud)."""
        self._call("Purge")

    def set_baud_rate(self, baud: int) -> int:
        """Changes both ends to baud (300 to 1000000) and returns the rate set. After a failure both
        ends are back at 9600 baud."""
        value = u32(checked("baud", baud))
        self._call("SetBaudRate", ctypes.byref(value))
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
        self._call("Restart")

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

    def set_pulser_config(self, config_no: int, selector: int) -> None:
        """Sets source selector config_no (0 to 5) to selector (0 to 63: bits 0 to 4 the source,
        bit 5 negation)."""
        self._call("SetPulserConfig", checked("config_no", config_no), checked("selector", selector))

    # Switches.
    def switch_trigger_config(self, switch: int) -> Source:
        """The trigger source of switch 0 to 3."""
        return Source.of(self._get("GetSwitchTriggerConfig", u8, checked("switch", switch)))

    def set_switch_trigger_config(self, switch: int, selector: int) -> None:
        """Sets the trigger source of switch 0 to 3 (selector 0 to 63)."""
        self._call("SetSwitchTriggerConfig", checked("switch", switch), checked("selector", selector))

    def switch_enable_config(self, switch: int) -> Source:
        """The enable source of switch 0 to 3."""
        return Source.of(self._get("GetSwitchEnableConfig", u8, checked("switch", switch)))

    def set_switch_enable_config(self, switch: int, selector: int) -> None:
        """Sets the enable source of switch 0 to 3 (selector 0 to 63)."""
        self._call("SetSwitchEnableConfig", checked("switch", switch), checked("selector", selector))

    def switch_trigger_delay(self, switch: int) -> TriggerDelay:
        """The rise and fall delays of switch 0 to 3's trigger (counts of 0.5 ns)."""
        rise, fall = u8(), u8()
        self._call("GetSwitchTriggerDelay", checked("switch", switch), ctypes.byref(rise), ctypes.byref(fall))
        return TriggerDelay(_half_ns(rise.value), _half_ns(fall.value))

    def set_switch_trigger_delay(self, switch: int, rise: int, fall: int) -> None:
        """Sets the trigger delays of switch 0 to 3: rise and fall in counts of 0.5 ns (0 to 15)."""
        self._call("SetSwitchTriggerDelay", checked("switch", switch), checked("half_ns", rise, "rise"),
                   checked("half_ns", fall, "fall"))

    def switch_enable_delay(self, switch: int) -> Time:
        """The enable delay of switch 0 to 3 (counts of 0.5 ns)."""
        return _half_ns(self._get("GetSwitchEnableDelay", u8, checked("switch", switch)))

    def set_switch_enable_delay(self, switch: int, delay: int) -> None:
        """Sets the enable delay of switch 0 to 3 in counts of 0.5 ns (0 to 15)."""
        self._call("SetSwitchEnableDelay", checked("switch", switch), checked("half_ns", delay, "delay"))

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

    def set_output_config(self, dio: int, selector: int) -> None:
        """Sets the source of output DIO 0 to 6 (selector 0 to 63)."""
        self._call("SetOutputConfig", checked("dio", dio), checked("selector", selector))

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

    def set_current_config(self, block: bytes) -> None:
        """Makes a 75-byte block the current configuration."""
        self._call("SetCurrentConfig", _block(block))

    def config_data(self, number: int) -> bytes:
        """The block of stored configuration 0 to 125."""
        block = (u8 * CONFIG_SIZE)()
        self._call("GetConfigData", checked("number", number), block)
        return bytes(block)

    def set_config_data(self, number: int, block: bytes) -> None:
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

    def set_config_name(self, number: int, name: Union[str, bytes]) -> None:
        """Names stored configuration 0 to 125: at most 52 bytes of Windows-1252, no NUL."""
        checked("number", number)
        encoded = _no_nul_bytes(name.encode(NAME_ENCODING) if isinstance(name, str) else bytes(name), "name")
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
    def memory_data(self, address: int, size: int) -> bytes:
        """size bytes from address, all inside the 16 KiB area, read in blocks of at most 4092
        bytes."""
        _area(address, size)
        out = bytearray()
        while len(out) < size:
            count = min(MEMORY_BLOCK_MAX, size - len(out))
            block = (u8 * count)()
            self._call("GetMemoryData", address + len(out), count, block)
            out += bytes(block)
        return bytes(out)

    def set_memory_data(self, address: int, data: bytes) -> None:
        """Writes data from address (all inside the 16 KiB area) into the device's working copy, in
        blocks of at most 4092 bytes; update_memory_data() makes it the device's own."""
        data = bytes(data)
        _area(address, len(data))
        for at in range(0, len(data), MEMORY_BLOCK_MAX):
            chunk = data[at:at + MEMORY_BLOCK_MAX]
            self._call("SetMemoryData", address + at, len(chunk), (u8 * len(chunk)).from_buffer_copy(chunk))

    def update_memory_data(self) -> None:
        """Makes the memory written so far the device's own (kept across a restart)."""
        self._call("UpdateMemoryData")

    def test(self, data: Union[str, bytes]) -> None:
        """The device echoes data (text of Latin-1, no NUL) back; DeviceRefusedError when the echo
        differs."""
        encoded = data.encode("latin-1") if isinstance(data, str) else bytes(data)
        self._call("Test", _no_nul_bytes(encoded, "data"))


def _raw(raw: Optional[int], seconds: Optional[float], offset: int) -> int:
    if (raw is None) == (seconds is None):
        raise TypeError("give either the raw count or seconds=")
    if seconds is not None:
        return units.seconds_steps(seconds, offset)
    return checked("raw", raw, "the count")


def _area(address: int, size: int) -> None:
    checked("address", address)
    checked("size", size)
    if address + size > MEMORY_SIZE:
        raise ValueError("%d bytes from address %d reach beyond the %d-byte memory" % (size, address, MEMORY_SIZE))


def _half_ns(raw: int) -> Time:
    return Time(raw, units.switch_delay_seconds(raw))


def _block(block: bytes) -> "ctypes.Array[ctypes.c_uint8]":
    block = bytes(block)
    if len(block) != CONFIG_SIZE:
        raise ValueError("a configuration block has %d bytes, not %d" % (CONFIG_SIZE, len(block)))
    return (u8 * CONFIG_SIZE).from_buffer_copy(block)
