"""Arguments are checked in Python before the library sees them: nothing is wrapped to its C type,
a closed Device never reaches the library, slots are its own, and NUL never cuts a text."""
import inspect
import os
import re

import pytest

import kestravo
from kestravo import RANGES

# Every method with integer arguments: the kind of each argument (None: not an integer).
METHODS = [
    ("set_oscillator_period", ["raw"]),
    ("pulser_delay", ["pulser"]), ("set_pulser_delay", ["pulser", "raw"]),
    ("pulser_width", ["pulser"]), ("set_pulser_width", ["pulser", "raw"]),
    ("pulser_burst", ["burst_pulser"]), ("set_pulser_burst", ["burst_pulser", "burst_size"]),
    ("pulser_config", ["config_no"]), ("set_pulser_config", ["config_no", "selector"]),
    ("switch_trigger_config", ["switch"]), ("set_switch_trigger_config", ["switch", "selector"]),
    ("switch_enable_config", ["switch"]), ("set_switch_enable_config", ["switch", "selector"]),
    ("switch_trigger_delay", ["switch"]), ("set_switch_trigger_delay", ["switch", "half_ns", "half_ns"]),
    ("switch_enable_delay", ["switch"]), ("set_switch_enable_delay", ["switch", "half_ns"]),
    ("switch_trigger_mapping", ["mapping"]), ("set_switch_trigger_mapping", ["mapping", "mapping_value"]),
    ("switch_enable_mapping", ["mapping"]), ("set_switch_enable_mapping", ["mapping", "mapping_value"]),
    ("set_input_config", ["dio_mask", "dio_mask"]),
    ("output_config", ["dio"]), ("set_output_config", ["dio", "selector"]),
    ("set_controller_config", ["controller_config"]),
    ("config_data", ["number"]), ("save_current_config", ["number"]), ("load_current_config", ["number"]),
    ("config_name", ["number"]), ("config_flags", ["number"]),
    ("set_config_flags", ["number", None, None]), ("set_config_name", ["number", None]),
    ("set_config_data", ["number", None]),
    ("set_baud_rate", ["baud"]),
    ("memory_data", ["address", "size"]),
]
# A harmless value of each kind, and of the other arguments.
TYPICAL = {"raw": 98, "pulser": 1, "burst_pulser": 1, "burst_size": 3, "config_no": 2, "selector": 1,
           "switch": 1, "half_ns": 2, "mapping": 2, "mapping_value": 3, "dio_mask": 0, "dio": 3,
           "controller_config": 7, "number": 5, "baud": 9600, "address": 0, "size": 1}
OTHER = {"set_config_flags": True, "set_config_name": "x", "set_config_data": bytes(75)}
# What the header says of each kind, word for word.
HEADER = {"pulser": "PulserNo: 0 to 3", "burst_pulser": "(bursts: 0 and 1", "config_no": "PulserCfgNo: 0 to 5",
          "burst_size": "at most 16777215", "switch": "SwitchNo 0 to 3", "mapping": "MappingNo 0 to 4",
          "dio": "OutputNo 0 to 6", "number": "(ConfigNumber 0 to 125)", "half_ns": "(0 to 15)",
          "mapping_value": "a mapping is\n * 4 bits (0 to 15)", "baud": "the device takes 300 to 1000000",
          "selector": "6 bits", "dio_mask": "bit j for DIO j (0 to 6)", "controller_config": "the low byte",
          "address": "inside the 16 KiB area", "size": "inside the 16 KiB area", "raw": "uint32_t",
          "slot": "PortNumber (0 to 15)", "com": "ComNumber n (1 to 255)"}


def _args(name, kinds, position=None, value=None):
    args = []
    for k, kind in enumerate(kinds):
        if k == position:
            args.append(value)
        elif kind is None:
            args.append(OTHER[name])
        else:
            args.append(TYPICAL[kind])
    return args


def test_the_ranges_are_the_headers(header):
    for kind in RANGES:
        assert HEADER[kind] in header, kind
    assert RANGES["burst_size"][1] == 16777215 and RANGES["number"][1] == 125 and RANGES["baud"] == (300, 1000000)


@pytest.mark.parametrize("name,kinds", METHODS, ids=[m[0] for m in METHODS])
def test_values_just_outside_are_refused_and_just_inside_reach_the_device(name, kinds):
    with kestravo.Device("sim") as device:
        method = getattr(device, name)
        for position, kind in enumerate(kinds):
            if kind is None:
                continue
            low, high = RANGES[kind]
            for bad in (low - 1, high + 1, high + 2 ** 32, -2 ** 32):
                with pytest.raises(ValueError):
                    method(*_args(name, kinds, position, bad))
            with pytest.raises(TypeError):
                method(*_args(name, kinds, position, True))
            if kind in ("baud", "address", "size"):
                continue  # 300 baud and 16 KiB reads take long; their edges are tested below
            for good in (low, high):
                try:
                    method(*_args(name, kinds, position, good))
                except kestravo.KestravoError as e:  # the device may refuse (an invalid place)
                    assert e.code not in (kestravo.Result.BAD_ARGUMENT, kestravo.Result.WRONG_ARGUMENT), (name, good)


def test_the_faults_that_wrapped():
    with kestravo.Device("sim") as device:
        for call in (lambda: device.set_pulser_delay(2, -1), lambda: device.set_pulser_delay(2, 2 ** 32 + 5),
                     lambda: device.set_pulser_delay(2 ** 32 + 1, 77), lambda: device.memory_data(2 ** 32 + 16, 4),
                     lambda: device.set_config_name(2 ** 32 + 1, "x"), lambda: device.memory_data(0, -5),
                     lambda: device.set_pulser_delay(9, 1), lambda: device.memory_data(16380, 5),
                     lambda: device.set_memory_data(16383, b"ab"), lambda: device.set_oscillator_period(seconds=-1.0)):
            with pytest.raises(ValueError):
                call()
        assert device.pulser_delay(1).raw == 0 and device.pulser_delay(2).raw == 0
        assert device.memory_data(16383, 1) == device.memory_data(16383, 1) and device.memory_data(5, 0) == b""


def test_nul_never_cuts_a_text(tmp_path):
    with kestravo.Device("sim") as device:
        for call in (lambda: device.test(b"AB\0CD"), lambda: device.test("AB\0CD"),
                     lambda: device.open_debug_file(str(tmp_path / "x\0y")),
                     lambda: device.set_config_name(1, "a\0b")):
            with pytest.raises(ValueError):
                call()
    assert not os.path.exists(str(tmp_path / "x"))
    with pytest.raises(ValueError):
        kestravo.Device("sim:" + str(tmp_path / "s\0t"))


def test_a_closed_device_never_reaches_the_library():
    a = kestravo.Device("sim")
    a.close()
    a.close()  # harmless
    with kestravo.Device("sim") as b:
        assert b.slot == a.slot
        # Every public method and property, with valid arguments taken from its parameters' names.
        values = {"raw": 98, "size": 1, "block": bytes(75), "name": "x", "data": b"x", "path": "trace.txt",
                  "baud": 9600, "value": 3, "rise": 1, "fall": 1, "delay": 1, "outputs": 0, "terminations": 0,
                  "selector": 1, "config": 7, "on": True, "active": True, "valid": True, "address": 0}
        called = 0
        for name, member in inspect.getmembers(kestravo.Device):
            if name.startswith("_") or name in ("close", "is_open"):
                continue
            if isinstance(member, property):
                with pytest.raises(ValueError, match="closed"):
                    getattr(a, name)
            else:
                parameters = [p for p in inspect.signature(member).parameters.values()
                              if p.name != "self" and (p.default is inspect.Parameter.empty
                                                         or p.name in ("raw", "rise", "fall", "delay"))]
                with pytest.raises(ValueError, match="closed"):
                    getattr(a, name)(*[values.get(p.name, 1) for p in parameters])
            called += 1
        assert called > 70
        assert b.oscillator_period().raw == 998 and b.pulser_delay(1).raw == 0


def test_slots_are_checked_and_owned():
    for slot in (-1, 16, 65536):
        with pytest.raises(ValueError):
            kestravo.Device("sim", slot=slot)
    with pytest.raises(TypeError):
        kestravo.Device("sim", slot=True)
    with kestravo.Device("sim", slot=3) as first:
        with pytest.raises(RuntimeError):
            kestravo.Device("sim", slot=3)
        assert first.fw_version() == kestravo.Version(1, 3)  # still open and its own


def test_an_unmapped_com_number_warns(monkeypatch):
    monkeypatch.delenv("KESTRAVO_COM200", raising=False)
    with pytest.warns(kestravo.UnmappedComNumberWarning, match=re.escape("COM200: KESTRAVO_COM200 is not set: opening /dev/ttyS199")):
        with pytest.raises(kestravo.KestravoError):
            kestravo.Device(200)
