"""One KESTRAVO device on a port slot of the library."""
import ctypes
import os
import re
import sys
import threading
import warnings
from dataclasses import dataclass
from typing import Optional, Tuple, Union

from . import units
from ._library import library, u8, u16, u32, i32, f64
from .errors import KestravoError

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
RANGES = {
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


def checked(kind, value, name=None):
    """value when it is an int (not a bool) within the range of its kind; else TypeError or
    ValueError."""
    low, high = RANGES[kind]
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError("%s must be an int, not %r" % (name or kind, value))
    if not low <= value <= high:
        raise ValueError("%s %d is out of range (%d to %d)" % (name or kind, value, low, high))
    return value


def _no_nul(data, name):
    if (b"\0" if isinstance(data, bytes) else "\0") in data:
        raise ValueError("%s contains a NUL character: %r" % (name, data))
    return data


class UnmappedComNumberWarning(UserWarning):
    """A COM number without KESTRAVO_COM<n> opens the system's device /dev/ttyS<n-1> (on many
    machines /dev/ttyS0 is the system console): name the port instead."""


@dataclass(frozen=True)
class Version:
    major: int
    minor: int

    @classmethod
    def of(cls, word):
        return cls(word >> 8, word & 0xFF)

    def __str__(self):
        return "%d.%02d" % (self.major, self.minor)


@dataclass(frozen=True)
class Period:
    """The oscillator's period: the raw count, seconds and hertz."""
    raw: int
    seconds: float
    hertz: float


@dataclass(frozen=True)
class Time:
    """A time setting: the raw count and seconds."""
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
    def of(cls, raw):
        return cls(raw, raw & 0x1F, bool(raw & 0x20), units.source_name(raw))


@dataclass(frozen=True)
class TriggerDelay:
    rise: Time
    fall: Time


@dataclass(frozen=True)
class CpuData:
    load: float  # a fraction: 0.125 is 12.5 %
    frequency: float  # Hz


@dataclass(frozen=True)
class Uptime:
    seconds: int
    milliseconds: int
    optime: int  # seconds the device was enabled

    @property
    def total_seconds(self):
        return self.seconds + self.milliseconds / 1000.0


@dataclass(frozen=True)
class TotalTime:
    uptime: int  # seconds switched on over the device's life
    optime: int  # seconds enabled


@dataclass(frozen=True)
class Housekeeping:
    volt_12v: float  # V
    volt_5v0: float  # V
    volt_3v3: float  # V
    temp_cpu: float  # degrees Celsius


@dataclass(frozen=True)
class Fan:
    enabled: bool
    failed: bool
    set_rpm: int
    measured_rpm: int
    pwm_raw: int  # tenths of a per cent

    @property
    def pwm_percent(self):
        return self.pwm_raw / 10.0


@dataclass(frozen=True)
class Leds:
    red: bool
    green: bool
    blue: bool


@dataclass(frozen=True)
class DioConfig:
    outputs: int  # bit j: DIO j is an output
    terminations: int  # bit j: DIO j is a terminated input

    def direction(self, dio):
        """The console program's word for DIO dio: "output", "terminated input" or "input"."""
        if self.outputs >> dio & 1:
            return "output"
        if self.terminations >> dio & 1:
            return "terminated input"
        return "input"


@dataclass(frozen=True)
class ConfigFlags:
    active: bool
    valid: bool

    @property
    def deleted(self):
        return self.valid and not self.active


@dataclass(frozen=True)
class ConfigList:
    active: Tuple[bool, ...]  # CONFIG_COUNT flags
    valid: Tuple[bool, ...]


def protocol_version():
    """The device protocol version of the library (major and minor)."""
    return Version.of(library().COM_KESTRAVO_GetSWVersion())


# Slots taken by Device objects of this process.
_registry_lock = threading.Lock()
_slots_taken = set()


def _take_slot(slot):
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


def is_port_name(text):
    """A device path ("/dev/ttyUSB0"; on Windows "COM7" or "\\\\.\\COM7"), "sim", "sim:<file>" or
    "rfc2217://host:port": the names the console program takes."""
    if text == "sim" or text.startswith("sim:") or text.startswith("rfc2217://"):
        return True
    if sys.platform == "win32":
        return text.startswith("\\\\.\\") or re.fullmatch(r"(?i)COM[1-9][0-9]{0,2}", text) is not None
    return text.startswith("/")


class Device:
    """A KESTRAVO device, opened on a port slot of the library.

    port: a COM number (1 to 255; what KESTRAVO_COM<n> names, else /dev/ttyS<n-1>, on Windows COMn)
    or a name: a device path, "sim", "sim:<file>" or "rfc2217://host:port". slot: the library's
    port slot (0 to 15; None: the lowest one this process does not use). debug_file: the library's
    debug trace of the slot. The device opens at once; use it in a with block or call close().
    Every failed call raises KestravoError.
    """

    def __init__(self, port: Union[int, str], slot: Optional[int] = None, debug_file: Optional[str] = None):
        self._library = library()
        self._open = False
        self._calls = threading.RLock()  # one call at a time on this Device, whatever the thread
        if isinstance(port, str) and port.isdigit():
            port = int(port)
        if isinstance(port, str):
            _no_nul(port, "port")
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
        if debug_file is not None:
            _no_nul(os.fsdecode(debug_file), "debug_file")
        self.slot = _take_slot(slot)
        try:
            if debug_file is not None:
                self._raw_call("OpenDebugFile", os.fsencode(debug_file))
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

    # Plumbing. Every call of a method reaches the library through _lib, which refuses a closed
    # Device: its slot may belong to another Device by now.
    @property
    def _lib(self):
        if not self._open:
            raise ValueError("the device on %s is closed" % self.port_name)
        return self._library

    def _failure(self, name, code):
        lib, slot = self._library, self.slot
        message = lib.COM_KESTRAVO_GetErrorMessage(slot) or b""
        io_state = lib.COM_KESTRAVO_GetIOState(slot)
        io_message = lib.COM_KESTRAVO_GetIOErrorMessage(slot) or b""
        reason = (lib.COM_KESTRAVO_GetOpenFailureReason(slot) or b"") if name in ("Open", "OpenPort") else b""
        return KestravoError("COM_KESTRAVO_" + name, code, message.decode("latin-1"),
                             io_state, io_message.decode("latin-1"), reason.decode("utf-8", "replace"))

    def _raw_call(self, name, *args):
        with self._calls:
            code = getattr(self._library, "COM_KESTRAVO_" + name)(self.slot, *args)
            if code != 0:
                raise self._failure(name, code)

    def _call(self, name, *args):
        with self._calls:
            self._lib  # refuses a closed Device before anything is called
            self._raw_call(name, *args)

    def _get(self, name, ctype, *args):
        value = ctype()
        self._call(name, *args, ctypes.byref(value))
        return value.value

    def _release(self):
        with _registry_lock:
            _slots_taken.discard(self.slot)

    # Opening and closing.
    def close(self):
        """Closes the port (and the debug file). Closing twice does nothing."""
        with self._calls:
            if not self._open:
                return
            self._open = False
            try:
                self._raw_call("Close")
            finally:
                self._library.COM_KESTRAVO_CloseDebugFile(self.slot)
                self._release()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            if getattr(self, "_open", False):
                self.close()
        except Exception:
            pass

    def __repr__(self):
        return "<kestravo.Device %s on slot %d%s>" % (self.port_name, self.slot, "" if self._open else ", closed")

    @property
    def is_open(self):
        return self._open

    # The slot's state.
    @property
    def interface_state(self):
        return self._lib.COM_KESTRAVO_GetInterfaceState(self.slot)

    @property
    def error_message(self):
        return (self._lib.COM_KESTRAVO_GetErrorMessage(self.slot) or b"").decode("latin-1")

    @property
    def io_state(self):
        return self._lib.COM_KESTRAVO_GetIOState(self.slot)

    @property
    def io_error_message(self):
        return (self._lib.COM_KESTRAVO_GetIOErrorMessage(self.slot) or b"").decode("latin-1")

    # The link.
    def purge(self):
        self._call("Purge")

    def set_baud_rate(self, baud):
        """Both ends change to baud (300 to 1000000); returns the rate set."""
        value = u32(checked("baud", baud))
        self._call("SetBaudRate", ctypes.byref(value))
        return value.value

    def device_purge(self):
        """True when the device emptied its buffers."""
        return bool(self._get("DevicePurge", i32))

    def buffer_empty(self):
        return bool(self._get("GetBufferState", i32))

    def restart(self):
        """The device restarts and comes back at 9600 baud with its settings reset."""
        self._call("Restart")

    def open_debug_file(self, path):
        self._call("OpenDebugFile", os.fsencode(_no_nul(os.fsdecode(path), "path")))

    def close_debug_file(self):
        self._call("CloseDebugFile")

    # Identity and monitoring.
    def hw_type(self):
        return self._get("GetHWType", u16)

    def hw_version(self):
        return Version.of(self._get("GetHWVersion", u16))

    def fw_version(self):
        return Version.of(self._get("GetFWVersion", u16))

    def fw_date(self):
        buffer = ctypes.create_string_buffer(FW_DATE_SIZE)
        self._call("GetFWDate", buffer)
        return buffer.value.decode("latin-1")

    def product_id(self):
        buffer = ctypes.create_string_buffer(PRODUCT_ID_SIZE)
        self._call("GetProductID", buffer)
        return buffer.value.decode("latin-1")

    def product_no(self):
        return self._get("GetProductNo", u32)

    def main_state(self):
        """0x0000 active, 0x8001 voltage failure, 0x8002 low temperature, 0x8003 high temperature,
        0x8004 controller not ready."""
        return self._get("GetMainState", u16)

    def device_state(self):
        """Failure bits: 0 and 1 CPU and fan voltage, 8 to 10 fans, 16 to 18 sensors hot, 24 to 26
        sensors cold, 15 controller disabled."""
        return self._get("GetDeviceState", u32)

    def cpu_data(self):
        load, frequency = f64(), f64()
        self._call("GetCPUData", ctypes.byref(load), ctypes.byref(frequency))
        return CpuData(load.value, frequency.value)

    def uptime(self):
        seconds, milliseconds, optime = u32(), u16(), u32()
        self._call("GetUptime", ctypes.byref(seconds), ctypes.byref(milliseconds), ctypes.byref(optime))
        return Uptime(seconds.value, milliseconds.value, optime.value)

    def total_time(self):
        uptime, optime = u32(), u32()
        self._call("GetTotalTime", ctypes.byref(uptime), ctypes.byref(optime))
        return TotalTime(uptime.value, optime.value)

    def housekeeping(self):
        values = [f64() for _ in range(4)]
        self._call("GetHousekeeping", *[ctypes.byref(v) for v in values])
        return Housekeeping(*[v.value for v in values])

    def sensor_temperatures(self):
        """The three temperatures in degrees Celsius (None for a sensor that gives no reading)."""
        values = (f64 * 3)()
        self._call("GetSensorData", values)
        return tuple(None if v == 65535.0 else v for v in values)

    def fans(self):
        enabled, failed = (i32 * 3)(), (i32 * 3)()
        set_rpm, measured, pwm = (u16 * 3)(), (u16 * 3)(), (u16 * 3)()
        self._call("GetFanData", enabled, failed, set_rpm, measured, pwm)
        return tuple(Fan(bool(enabled[k]), bool(failed[k]), set_rpm[k], measured[k], pwm[k]) for k in range(3))

    def leds(self):
        red, green, blue = i32(), i32(), i32()
        self._call("GetLEDData", ctypes.byref(red), ctypes.byref(green), ctypes.byref(blue))
        return Leds(bool(red.value), bool(green.value), bool(blue.value))

    # Pulse generator. Setters take the raw count, or seconds= (rounded to the nearest step).
    def oscillator_period(self):
        raw = self._get("GetOscillatorPeriod", u32)
        return Period(raw, units.oscillator_seconds(raw), units.oscillator_hertz(raw))

    def set_oscillator_period(self, raw=None, *, seconds=None):
        self._call("SetOscillatorPeriod", _raw(raw, seconds, units.OSCILLATOR_OFFSET))

    def pulser_delay(self, pulser):
        raw = self._get("GetPulserDelay", u32, checked("pulser", pulser))
        return Time(raw, units.pulser_delay_seconds(raw))

    def set_pulser_delay(self, pulser, raw=None, *, seconds=None):
        self._call("SetPulserDelay", checked("pulser", pulser), _raw(raw, seconds, units.PULSER_DELAY_OFFSET))

    def pulser_width(self, pulser):
        raw = self._get("GetPulserWidth", u32, checked("pulser", pulser))
        return Time(raw, units.pulser_width_seconds(raw))

    def set_pulser_width(self, pulser, raw=None, *, seconds=None):
        self._call("SetPulserWidth", checked("pulser", pulser), _raw(raw, seconds, units.PULSER_WIDTH_OFFSET))

    def pulser_burst(self, pulser):
        return self._get("GetPulserBurst", u32, checked("burst_pulser", pulser, "pulser"))

    def set_pulser_burst(self, pulser, size):
        self._call("SetPulserBurst", checked("burst_pulser", pulser, "pulser"), checked("burst_size", size, "size"))

    def pulser_config(self, config_no):
        """config_no 0 to 5: pulser 0, burst 0, pulser 1, burst 1, pulser 2, pulser 3."""
        return Source.of(self._get("GetPulserConfig", u8, checked("config_no", config_no)))

    def set_pulser_config(self, config_no, selector):
        self._call("SetPulserConfig", checked("config_no", config_no), checked("selector", selector))

    # Switches.
    def switch_trigger_config(self, switch):
        return Source.of(self._get("GetSwitchTriggerConfig", u8, checked("switch", switch)))

    def set_switch_trigger_config(self, switch, selector):
        self._call("SetSwitchTriggerConfig", checked("switch", switch), checked("selector", selector))

    def switch_enable_config(self, switch):
        return Source.of(self._get("GetSwitchEnableConfig", u8, checked("switch", switch)))

    def set_switch_enable_config(self, switch, selector):
        self._call("SetSwitchEnableConfig", checked("switch", switch), checked("selector", selector))

    def switch_trigger_delay(self, switch):
        rise, fall = u8(), u8()
        self._call("GetSwitchTriggerDelay", checked("switch", switch), ctypes.byref(rise), ctypes.byref(fall))
        return TriggerDelay(_half_ns(rise.value), _half_ns(fall.value))

    def set_switch_trigger_delay(self, switch, rise, fall):
        """rise and fall: counts of 0.5 ns (0 to 15)."""
        self._call("SetSwitchTriggerDelay", checked("switch", switch), checked("half_ns", rise, "rise"),
                   checked("half_ns", fall, "fall"))

    def switch_enable_delay(self, switch):
        return _half_ns(self._get("GetSwitchEnableDelay", u8, checked("switch", switch)))

    def set_switch_enable_delay(self, switch, delay):
        self._call("SetSwitchEnableDelay", checked("switch", switch), checked("half_ns", delay, "delay"))

    def switch_trigger_mapping(self, mapping):
        return self._get("GetSwitchTriggerMapping", u8, checked("mapping", mapping))

    def set_switch_trigger_mapping(self, mapping, value):
        self._call("SetSwitchTriggerMapping", checked("mapping", mapping), checked("mapping_value", value, "value"))

    def switch_enable_mapping(self, mapping):
        return self._get("GetSwitchEnableMapping", u8, checked("mapping", mapping))

    def set_switch_enable_mapping(self, mapping, value):
        self._call("SetSwitchEnableMapping", checked("mapping", mapping), checked("mapping_value", value, "value"))

    def switch_trigger_mapping_enabled(self):
        return bool(self._get("GetSwitchTriggerMappingEnable", u8))

    def set_switch_trigger_mapping_enabled(self, on):
        self._call("SetSwitchTriggerMappingEnable", 1 if on else 0)

    def switch_enable_mapping_enabled(self):
        return bool(self._get("GetSwitchEnableMappingEnable", u8))

    def set_switch_enable_mapping_enabled(self, on):
        self._call("SetSwitchEnableMappingEnable", 1 if on else 0)

    # DIOs and controller.
    def input_config(self):
        outputs, terminations = u8(), u8()
        self._call("GetInputConfig", ctypes.byref(outputs), ctypes.byref(terminations))
        return DioConfig(outputs.value, terminations.value)

    def set_input_config(self, outputs, terminations):
        self._call("SetInputConfig", checked("dio_mask", outputs, "outputs"), checked("dio_mask", terminations, "terminations"))

    def output_config(self, dio):
        return Source.of(self._get("GetOutputConfig", u8, checked("dio", dio)))

    def set_output_config(self, dio, selector):
        self._call("SetOutputConfig", checked("dio", dio), checked("selector", selector))

    def device_enabled(self):
        return bool(self._get("GetDeviceEnable", i32))

    def set_device_enabled(self, on):
        self._call("SetDeviceEnable", 1 if on else 0)

    def controller_state(self):
        """Bits: 0 device enable, 1 oscillator enable, 2 pulser enable, 3 software trigger, 4 software
        pulse, 5 prevent device disable, 6 dithering disable, 8 master enable, 9 software trigger
        output, 10 device enabled."""
        return self._get("GetControllerState", u16)

    def set_controller_config(self, config):
        """The low byte as bits 0 to 6 of the controller state."""
        self._call("SetControllerConfig", checked("controller_config", config, "config"))

    # Configurations.
    def reset_current_config(self):
        self._call("ResetCurrentConfig")

    def current_config(self):
        block = (u8 * CONFIG_SIZE)()
        self._call("GetCurrentConfig", block)
        return bytes(block)

    def set_current_config(self, block):
        self._call("SetCurrentConfig", _block(block))

    def config_data(self, number):
        block = (u8 * CONFIG_SIZE)()
        self._call("GetConfigData", checked("number", number), block)
        return bytes(block)

    def set_config_data(self, number, block):
        self._call("SetConfigData", checked("number", number), _block(block))

    def config_list(self):
        active, valid = (u8 * CONFIG_COUNT)(), (u8 * CONFIG_COUNT)()
        self._call("GetConfigList", active, valid)
        return ConfigList(tuple(bool(a) for a in active), tuple(bool(v) for v in valid))

    def save_current_config(self, number):
        self._call("SaveCurrentConfig", checked("number", number))

    def load_current_config(self, number):
        self._call("LoadCurrentConfig", checked("number", number))

    def config_name(self, number):
        name = (u8 * NAME_SIZE)()
        self._call("GetConfigName", checked("number", number), name)
        return bytes(name).split(b"\0", 1)[0].decode(NAME_ENCODING, "replace")

    def set_config_name(self, number, name):
        """name: at most 52 characters of Windows-1252."""
        checked("number", number)
        encoded = _no_nul(name.encode(NAME_ENCODING) if isinstance(name, str) else bytes(name), "name")
        if len(encoded) > NAME_SIZE:
            raise ValueError("a configuration name has at most %d bytes: %r" % (NAME_SIZE, name))
        self._call("SetConfigName", number, (u8 * NAME_SIZE)(*encoded))

    def config_flags(self, number):
        active, valid = u8(), u8()
        self._call("GetConfigFlags", checked("number", number), ctypes.byref(active), ctypes.byref(valid))
        return ConfigFlags(bool(active.value), bool(valid.value))

    def set_config_flags(self, number, active, valid):
        self._call("SetConfigFlags", checked("number", number), 1 if active else 0, 1 if valid else 0)

    # Memory data and link test.
    def memory_data(self, address, size):
        """size bytes from address, read in blocks of at most 4092 bytes; all of them inside the 16 KiB
        area."""
        _area(address, size)
        out = bytearray()
        while len(out) < size:
            count = min(MEMORY_BLOCK_MAX, size - len(out))
            block = (u8 * count)()
            self._call("GetMemoryData", address + len(out), count, block)
            out += bytes(block)
        return bytes(out)

    def set_memory_data(self, address, data):
        """Writes data from address, in blocks of at most 4092 bytes."""
        data = bytes(data)
        _area(address, len(data))
        for at in range(0, len(data), MEMORY_BLOCK_MAX):
            chunk = data[at:at + MEMORY_BLOCK_MAX]
            self._call("SetMemoryData", address + at, len(chunk), (u8 * len(chunk)).from_buffer_copy(chunk))

    def update_memory_data(self):
        self._call("UpdateMemoryData")

    def test(self, data):
        """The device echoes data (text) back; a difference fails."""
        self._call("Test", _no_nul(data.encode("latin-1") if isinstance(data, str) else bytes(data), "data"))


def _raw(raw, seconds, offset):
    if (raw is None) == (seconds is None):
        raise TypeError("give either the raw count or seconds=")
    return checked("raw", raw if seconds is None else units.seconds_steps(seconds, offset), "the count")


def _area(address, size):
    checked("address", address)
    checked("size", size)
    if address + size > MEMORY_SIZE:
        raise ValueError("%d bytes from address %d reach beyond the %d-byte memory" % (size, address, MEMORY_SIZE))


def _half_ns(raw):
    return Time(raw, units.switch_delay_seconds(raw))


def _block(block):
    block = bytes(block)
    if len(block) != CONFIG_SIZE:
        raise ValueError("a configuration block has %d bytes, not %d" % (CONFIG_SIZE, len(block)))
    return (u8 * CONFIG_SIZE).from_buffer_copy(block)
