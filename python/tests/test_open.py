"""Opening by COM number and by name, slots, and failures as exceptions."""
import os
import subprocess
import sys

import pytest

import kestravo
from kestravo import IOState, KestravoError, Result


def _identity(device):
    return device.hw_type(), str(device.hw_version())


def test_by_com_number(monkeypatch):
    monkeypatch.setenv("KESTRAVO_COM7", "sim")
    with kestravo.Device(7) as d:
        assert (d.com, d.port_name) == (7, "sim")
        assert _identity(d) == (0x4B53, "1.02")
    with kestravo.Device("7") as d:
        assert d.com == 7


def test_by_name_leaves_the_environment_alone():
    before = dict(os.environ)
    with kestravo.Device("sim") as d:
        assert d.com is None and d.port_name == "sim"
        with kestravo.Device("sim") as e:
            assert e.slot != d.slot
            assert dict(os.environ) == before
    assert dict(os.environ) == before


def test_a_state_file_keeps_stored_configurations(tmp_path):
    state = tmp_path / "device.state"
    with kestravo.Device(kestravo.sim.port(state)) as d:
        d.set_oscillator_period(1234)
        d.save_current_config(17)
        d.set_config_name(17, "kept")
    with kestravo.Device(kestravo.sim.port(state)) as d:
        assert d.config_name(17) == "kept"
        d.load_current_config(17)
        assert d.oscillator_period().raw == 1234


@pytest.mark.parametrize("rfc2217", [False, True], ids=["pty", "rfc2217"])
def test_by_path_and_over_rfc2217(sim_program, monkeypatch, rfc2217):
    monkeypatch.setenv("KESTRAVO_SIM", sim_program)
    with kestravo.sim.Server(rfc2217=rfc2217) as server:
        assert server.address.startswith("rfc2217://" if rfc2217 else "/dev/")
        with kestravo.Device(server.address) as d:
            assert _identity(d) == (0x4B53, "1.02")
            d.set_pulser_burst(1, 77)
        with kestravo.Device(server.address) as d:
            assert d.pulser_burst(1) == 77  # the same device, its settings kept


def test_slots():
    with kestravo.Device("sim", slot=15) as d:
        assert d.slot == 15
        with pytest.raises(RuntimeError, match="in use"):
            kestravo.Device("sim", slot=15)
    with kestravo.Device("sim", slot=15):
        pass  # free again


@pytest.mark.parametrize("port,message", [(0, "COM numbers run from 1 to 255"), (256, "COM numbers run"),
                                          ("COM3", "not a port"), ("relative/path", "not a port")])
def test_ports_refused_before_the_library(port, message):
    with pytest.raises(ValueError, match=message):
        kestravo.Device(port)


def test_slot_out_of_range_is_refused_before_the_library():
    with pytest.raises(ValueError, match="slot 16 is out of range"):
        kestravo.Device("sim", slot=16)


def test_a_missing_device_carries_both_texts_and_the_reason(tmp_path):
    with pytest.raises(KestravoError) as e:
        kestravo.Device(str(tmp_path / "ttyUSB9"))
    error = e.value
    assert (error.function, error.code, error.message) == ("COM_KESTRAVO_OpenPort", Result.OPEN_FAILED,
                                                           "Error opening the port")
    assert (error.io_state, error.io_message) == (IOState.IO_OPEN_FAILED, "Cannot open the port")
    assert "No such file or directory" in error.reason and str(tmp_path) in error.reason
    assert "Error opening the port (-2)" in str(error)


@pytest.mark.parametrize("fault,code,io_state", [
    ("garble=1", Result.WRONG_COMMAND, IOState.IO_OK),
    ("silent=1", Result.RECEIVE_COMMAND_FAILED, IOState.IO_READ_FAILED),
])
def test_a_device_that_does_not_answer_right(fault, code, io_state):
    with kestravo.sim.faults(fault):
        with pytest.raises(KestravoError) as e:
            kestravo.Device("sim")
    assert (e.value.code, e.value.io_state, e.value.reason) == (code, io_state, "")
    with kestravo.Device("sim") as d:  # the failed opening left nothing open
        assert d.hw_type() == 0x4B53


def test_a_failed_call_after_the_opening(device):
    with pytest.raises(KestravoError) as e:
        device.load_current_config(100)  # an invalid place: the device refuses the command
    assert (e.value.function, e.value.code) == ("COM_KESTRAVO_LoadCurrentConfig", Result.WRONG_COMMAND)
    assert e.value.message == "Wrong command received"
    assert device.interface_state == Result.WRONG_COMMAND and device.error_message == e.value.message
    device.hw_type()
    assert device.interface_state == 0 and device.error_message == "No error"


def test_a_debug_file_traces_the_slot(tmp_path):
    trace = tmp_path / "trace.txt"
    with kestravo.Device("sim", debug_file=str(trace)) as d:
        d.hw_type()
    assert "COM_KESTRAVO_Open" in trace.read_text()
    with pytest.raises(KestravoError) as e:
        kestravo.Device("sim", debug_file=str(tmp_path / "missing" / "trace.txt"))
    assert e.value.code == Result.DEBUG_OPEN_FAILED


def test_the_library_not_found_is_said():
    env = dict(os.environ, KESTRAVO_LIBRARY="/nonexistent/libCOM-KESTRAVO.so.1")
    run = subprocess.run([sys.executable, "-c", "import kestravo; kestravo.protocol_version()"],
                         env=env, capture_output=True, text=True)
    assert run.returncode != 0 and "COM-KESTRAVO library not found" in run.stderr
