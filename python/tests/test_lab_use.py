"""The package under real lab use: Ctrl-C, process pools, a killed simulator, NumPy-like values,
bytes only, the system console, sources by name, and the conveniences of a lab script."""
import array
import concurrent.futures
import logging
import math
import multiprocessing
import os
import pickle
import signal
import subprocess
import sys
import threading

import pytest

import kestravo
from kestravo import (CommunicationError, DeviceGoneError, DeviceRefusedError, KestravoError, NotConnectedError,
                      NotReadyError, PortOpenError, Result)
from kestravo import __main__ as command_line
from kestravo import _library


class Interrupt:
    """SIGINT to this process after delay seconds, raised as KeyboardInterrupt once, as Ctrl-C is."""

    def __init__(self, delay):
        self.delay, self.fired = delay, threading.Event()

    def __enter__(self):
        def handler(signum, frame):
            if not self.fired.is_set():
                self.fired.set()
                raise KeyboardInterrupt
        self.old = signal.signal(signal.SIGINT, handler)
        self.timer = threading.Timer(self.delay, os.kill, (os.getpid(), signal.SIGINT))
        self.timer.start()
        return self

    def __exit__(self, *exc):
        self.timer.join()
        self.fired.wait(10)
        signal.signal(signal.SIGINT, self.old)


def test_ctrl_c_while_opening_leaves_the_port_free():
    # Every reply half a second late: the opening takes seconds, and Ctrl-C comes in the middle.
    with kestravo.sim.Server(fault_text="slow=500") as server:
        with pytest.raises(KeyboardInterrupt):
            with Interrupt(0.2):
                kestravo.Device(server.address)
        with kestravo.Device(server.address) as device:  # at once: nothing was left open
            assert device.hw_type() == 0x4B53


def test_ctrl_c_during_a_memory_transfer_leaves_the_device_usable():
    with kestravo.Device("sim") as device:  # 9600 baud: 16 KiB take more than 17 s
        with pytest.raises(KeyboardInterrupt):
            with Interrupt(0.3):
                device.memory_data(0, kestravo.MEMORY_SIZE)
        assert device.hw_type() == 0x4B53
        assert device.memory_data(0, 4) == bytes(4)


@pytest.mark.parametrize("baud,sizes", [(300, (16, 16)), (9600, (424, 212)), (115200, (4092, 2612)),
                                        (1000000, (4092, 4092))])
def test_memory_blocks_take_about_a_second_on_the_wire(baud, sizes):
    assert kestravo.memory_block_sizes(baud) == sizes
    read, write = sizes
    if baud >= 9600:  # characters of 11 bits; a read carries a byte as two characters, a write as four
        assert (2 * read + 20) * 11 / baud <= 1.0 and (4 * write + 20) * 11 / baud <= 1.0


def test_memory_blocks_follow_the_rate_the_device_was_set_to(monkeypatch):
    with kestravo.Device("sim") as device:
        assert device.memory_block_sizes() == (424, 212)
        device.set_baud_rate(115200)
        assert device.memory_block_sizes() == (4092, 2612)
        calls = []
        monkeypatch.setattr(device, "_call", lambda name, *args: calls.append((name, args[0], args[1])))
        device.set_memory_data(100, bytes(6000))
        device.memory_data(0, kestravo.MEMORY_SIZE)
        monkeypatch.undo()
        assert [c for c in calls if c[0] == "SetMemoryData"] == [
            ("SetMemoryData", 100, 2612), ("SetMemoryData", 2712, 2612), ("SetMemoryData", 5324, 776)]
        assert [c[2] for c in calls if c[0] == "GetMemoryData"] == [4092] * 4 + [16]
        device.purge()  # both ends back at 9600 baud
        assert device.memory_block_sizes() == (424, 212)


def test_a_carriage_return_in_test_data_is_refused_and_the_link_stays_in_step(tmp_path):
    with kestravo.Device("sim", debug_file=tmp_path / "trace.txt") as device:
        for data in (bytes(range(1, 14)), "a\rb", "x" * 8192, b"\0", 5):
            with pytest.raises((ValueError, TypeError)):
                device.test(data)
        device.test("x" * kestravo.TEST_SIZE_MAX)
        device.test(bytes(range(14, 256)))
        # The library itself refuses it, before any traffic.
        lib = _library.library()
        assert lib.COM_KESTRAVO_Test(device.slot, b"ab\rcd") == Result.BAD_ARGUMENT
        assert device.interface_state == Result.BAD_ARGUMENT
        assert device.hw_type() == 0x4B53 and device.pulser_delay(0).raw == 0
    assert "ab\\x0Dcd" not in (tmp_path / "trace.txt").read_text()


ERRORS = [KestravoError, PortOpenError, NotConnectedError, NotReadyError, CommunicationError, DeviceRefusedError,
          DeviceGoneError]


@pytest.mark.parametrize("family", ERRORS)
def test_every_exception_pickles_with_its_fields(family):
    error = family("COM_KESTRAVO_OpenPort", -2, "Error opening the port", 2, "Cannot open the port", "no such file")
    back = pickle.loads(pickle.dumps(error))
    assert type(back) is family and str(back) == str(error) and back.args == error.args
    assert (back.function, back.code, back.message, back.io_state, back.io_message, back.reason) == \
        (error.function, error.code, error.message, error.io_state, error.io_message, error.reason)


def _hw_type(port):
    with kestravo.Device(port) as device:
        return device.hw_type()


def test_a_bad_port_in_a_process_pool_breaks_only_its_own_job(tmp_path):
    ports = [str(tmp_path / "ttyUSB9"), "sim", "sim"]
    with concurrent.futures.ProcessPoolExecutor(2, mp_context=multiprocessing.get_context("spawn")) as pool:
        jobs = [pool.submit(_hw_type, port) for port in ports]
        with pytest.raises(PortOpenError) as e:
            jobs[0].result(60)
        assert "ttyUSB9" in e.value.reason and e.value.code == Result.OPEN_FAILED
        assert [job.result(60) for job in jobs[1:]] == [0x4B53, 0x4B53]


class Index:
    """An integer of another type, as NumPy's are: it has __index__."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value

    def __repr__(self):
        return "Index(%d)" % self.value


def test_integers_of_any_type_and_bytes_like_data(device):
    device.set_pulser_delay(Index(2), Index(1234))
    assert device.pulser_delay(2).raw == 1234
    with pytest.raises(ValueError, match=r"pulser Index\(4\) is out of range"):
        device.pulser_delay(Index(4))
    with pytest.raises(TypeError, match="pulser must be an int, not True"):
        device.pulser_delay(True)
    try:
        import numpy
    except ImportError:
        numpy = None
    if numpy is not None:
        device.set_pulser_width(numpy.int64(1), numpy.uint32(77))
        assert device.pulser_width(1).raw == 77
    # An int would be five zero bytes to bytes(), a str has no bytes: both refused, nothing written.
    for call in (lambda: device.set_memory_data(0, 5), lambda: device.set_current_config(75),
                 lambda: device.set_memory_data(0, "abc"), lambda: device.set_config_data(1, array.array("H", [0] * 75)),
                 lambda: device.set_config_name(1, 3)):
        with pytest.raises(TypeError):
            call()
    assert device.oscillator_period().raw == 998
    device.set_memory_data(16, memoryview(b"\x01\x02"))
    device.set_memory_data(18, bytearray(b"\x03"))
    device.set_memory_data(19, array.array("B", [4]))
    assert device.memory_data(16, 4) == b"\x01\x02\x03\x04"


def test_seconds_are_finite_numbers(device):
    for value, error in ((math.inf, ValueError), (math.nan, ValueError), (True, TypeError), ("1e-6", TypeError)):
        with pytest.raises(error):
            device.set_oscillator_period(seconds=value)
        with pytest.raises(error):
            device.set_switch_enable_delay(0, seconds=value)
    device.set_switch_trigger_delay(1, rise_seconds=1.5e-9, fall=4)
    device.set_switch_enable_delay(1, seconds=7.5e-9)
    assert (device.switch_trigger_delay(1).rise.raw, device.switch_trigger_delay(1).fall.raw) == (3, 4)
    assert device.switch_enable_delay(1).raw == 15
    with pytest.raises(ValueError, match="7.5 ns"):
        device.set_switch_enable_delay(1, seconds=8e-9)
    with pytest.raises(TypeError):
        device.set_switch_trigger_delay(1, 1, 1, rise_seconds=1e-9)


def test_sources_by_name_or_as_read_from_another_device(device):
    device.set_pulser_config(0, "Negated  Pulser 2 Output")
    assert device.pulser_config(0) == kestravo.Source(0x2B, 11, True, "negated pulser 2 output")
    with kestravo.Device("sim") as other:
        other.set_output_config(3, device.pulser_config(0))
        assert other.output_config(3).raw == 0x2B
    device.set_switch_trigger_config(2, "digital input 7")
    device.set_switch_enable_config(2, kestravo.Source.named("oscillator 0"))
    assert (device.switch_trigger_config(2).raw, device.switch_enable_config(2).raw) == (9, 2)
    with pytest.raises(ValueError, match="no source is named 'pulser 5 output'"):
        device.set_pulser_config(0, "pulser 5 output")
    with pytest.raises(ValueError, match="out of range"):
        device.set_pulser_config(0, 64)


def test_software_trigger_is_the_consoles_sequence(device, caplog):
    device.set_controller_config(0x47)
    with caplog.at_level(logging.DEBUG, logger="kestravo"):
        states = device.software_trigger()
    assert states[1:] == ((states[0] & 0xFFE7) | 0x10, states[0] & 0xFFE7) and states[0] & 0xFF == 0x47
    written = [r.getMessage() for r in caplog.records if "SetControllerConfig" in r.getMessage()]
    assert [m.split("(")[1].split(")")[0] for m in written] == ["%d, 87" % device.slot, "%d, 71" % device.slot]
    assert device.software_trigger(0x18, 0x08)[2] & 0x18 == 0x08
    assert device.controller_state() & 0x18 == 0x08


def test_find_config_by_name(device):
    assert device.find_config("beam line 2") is None
    for number, name in ((7, "beam line 2"), (9, "beam line 2"), (3, "other")):
        device.save_current_config(number)
        device.set_config_name(number, name)
    assert device.find_config("beam line 2") == 7
    device.set_config_flags(7, False, True)  # deleted: valid but not active
    assert device.find_config("beam line 2") == 9
    assert device.find_config("Beam line 2") is None


def test_calls_are_logged(device, caplog):
    with caplog.at_level(logging.DEBUG, logger="kestravo"):
        device.pulser_delay(1)
        with pytest.raises(DeviceRefusedError):
            device.load_current_config(100)
    debug = [r for r in caplog.records if r.levelno == logging.DEBUG]
    warning = [r for r in caplog.records if r.levelno == logging.WARNING]
    assert debug and "COM_KESTRAVO_GetPulserDelay(%d, 1, <out>)" % device.slot in debug[0].getMessage()
    assert len(warning) == 1 and "COM_KESTRAVO_LoadCurrentConfig" in warning[0].getMessage()
    assert "Wrong command received" in warning[0].getMessage()


@pytest.mark.parametrize("rfc2217", [False, True])
def test_a_vanished_device_is_gone_and_reopens(rfc2217, unused_tcp_port):
    server = kestravo.sim.Server(rfc2217=rfc2217, tcp_port=unused_tcp_port if rfc2217 else 0)
    device = kestravo.Device(server.address)
    try:
        device.set_pulser_burst(0, 5)
        server.process.kill()
        server.stop()
        with pytest.raises(DeviceGoneError) as e:
            device.hw_type()
        assert isinstance(e.value, NotConnectedError) and isinstance(e.value, CommunicationError)
        if rfc2217:
            with pytest.raises(KestravoError):
                device.reopen()  # nobody listens yet
            server = kestravo.sim.Server(rfc2217=True, tcp_port=unused_tcp_port)
            device.reopen()
            assert device.is_open and device.hw_type() == 0x4B53
    finally:
        device.close()
        server.stop()
    with pytest.raises(ValueError, match="closed"):
        device.reopen()


@pytest.fixture
def unused_tcp_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_shutdown_disables_before_closing(caplog):
    device = kestravo.Device("sim")
    device.set_device_enabled(True)
    with caplog.at_level(logging.DEBUG, logger="kestravo"):
        device.shutdown()
    calls = [r.getMessage().split("(")[0] for r in caplog.records]
    assert calls == ["COM_KESTRAVO_SetDeviceEnable", "COM_KESTRAVO_Close"] and not device.is_open
    assert "SetDeviceEnable(%d, 0)" % device.slot in caplog.records[0].getMessage()
    with pytest.raises(ValueError, match="closed"):
        device.shutdown()


def test_the_system_console_is_refused(monkeypatch, tmp_path, capsys):
    monkeypatch.delenv("KESTRAVO_COM200", raising=False)
    monkeypatch.setattr(kestravo.ports, "is_system_console", lambda path: path == "/dev/ttyS199")
    with pytest.warns(kestravo.UnmappedComNumberWarning):
        with pytest.raises(PortOpenError, match="kernel's console.*'system console'.*allow_system_console") as e:
            kestravo.Device(200)
    assert e.value.code == Result.OPEN_FAILED
    with pytest.warns(kestravo.UnmappedComNumberWarning):
        with pytest.raises(PortOpenError) as e:
            kestravo.Device(200, allow_system_console=True)  # tried: there is no such device
    assert "ttyS199" in e.value.reason and "console" not in e.value.reason
    with pytest.warns(kestravo.UnmappedComNumberWarning):
        assert command_line.main(["info", "200"]) == 1
    assert "allow_system_console" in capsys.readouterr().err


def test_the_console_is_found_through_links(tmp_path):
    root = str(tmp_path)
    for d in ("dev/serial/by-id", "sys/class/tty/console"):
        os.makedirs(os.path.join(root, d))
    open(os.path.join(root, "dev/ttyS0"), "w").close()
    open(os.path.join(root, "dev/ttyUSB0"), "w").close()
    os.symlink("../../ttyS0", os.path.join(root, "dev/serial/by-id/console-port"))
    with open(os.path.join(root, "sys/class/tty/console/active"), "w") as f:
        f.write("tty0 ttyS0\n")
    assert kestravo.ports.is_system_console("/dev/serial/by-id/console-port", root)
    assert kestravo.ports.is_system_console("/dev/ttyS0", root)
    assert not kestravo.ports.is_system_console("/dev/ttyUSB0", root)
    assert not kestravo.ports.is_system_console("rfc2217://localhost:1", root)


def test_the_library_search_on_windows():
    on_path = r"C:\Lab\bin\COM-KESTRAVO.dll"
    plan = _library.search_plan("win32", {"PATH": r'C:\Windows;"C:\Lab\bin";;C:\Other'}, r"C:\py\kestravo",
                                is_file=lambda path: path == on_path)
    assert plan.candidates == (on_path, "COM-KESTRAVO.dll") and plan.dll_directories == (r"C:\py\kestravo",)
    assert "PATH" in plan.advice and "libcom-kestravo1" not in plan.advice
    beside = r"C:\py\kestravo\COM-KESTRAVO.dll"
    assert _library.search_plan("win32", {"PATH": ""}, r"C:\py\kestravo",
                                is_file=lambda path: path == beside).candidates[0] == beside
    chosen = _library.search_plan("win32", {"KESTRAVO_LIBRARY": r"D:\x\COM-KESTRAVO.dll"}, r"C:\py\kestravo")
    assert chosen.candidates == (r"D:\x\COM-KESTRAVO.dll",)
    assert chosen.dll_directories == (r"D:\x", r"C:\py\kestravo")
    linux = _library.search_plan("linux", {"PATH": "/usr/bin"}, "/site/kestravo")
    assert linux.candidates == ("libCOM-KESTRAVO.so.1",) and "libcom-kestravo1" in linux.advice
    # Paths go to the library in the ANSI code page on Windows: what it cannot hold is refused.
    assert _library.encode_path(r"C:\Messungen\Müller.log", "path", "cp1252") == "C:\\Messungen\\M\xfcller.log".encode("cp1252")
    with pytest.raises(ValueError, match="code page"):
        _library.encode_path("C:\\\u6e2c\u5b9a.log", "path", "cp1252")


def _command(*args, **kw):
    return subprocess.run([sys.executable, "-m", "kestravo", *args], capture_output=True, text=True, timeout=60, **kw)


def test_the_command_line_never_shows_a_traceback(tmp_path):
    missing = _command("info", "sim", env=dict(os.environ, KESTRAVO_LIBRARY=str(tmp_path / "libnone.so")))
    assert missing.returncode == 1 and "Traceback" not in missing.stderr
    assert missing.stderr.startswith("kestravo: COM-KESTRAVO library not found") and missing.stderr.count("\n") == 1
    bad = _command("info", str(tmp_path / "ttyUSB3"))
    assert bad.returncode == 1 and "Traceback" not in bad.stderr and "ttyUSB3" in bad.stderr
    # A reader that has gone (| head): the pipe's other end is closed before anything is written.
    piped = subprocess.Popen([sys.executable, "-m", "kestravo", "info", "sim"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    piped.stdout.close()
    assert piped.stderr.read() == "" and piped.wait(60) == 1
    piped.stderr.close()
    info = _command("info", "sim")
    assert "Firmware version: 1-03, firmware date: " in info.stdout
