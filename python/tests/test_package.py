"""The package as lab users meet it: exception families, the ports of the machine, the command
line, documentation on every public method, and Devices shared between threads."""
import glob
import importlib.metadata
import inspect
import os
import re
import subprocess
import sys
import tarfile
import threading
import zipfile

import pytest

import kestravo
from kestravo import (CommunicationError, DeviceRefusedError, KestravoError, NotConnectedError, NotReadyError,
                      PortOpenError, Result)


@pytest.mark.parametrize("code,family", [
    (Result.OPEN_FAILED, PortOpenError), (Result.NOT_CONNECTED, NotConnectedError),
    (Result.NOT_READY, NotReadyError), (Result.STILL_READY, NotReadyError),
    (Result.SEND_COMMAND_FAILED, CommunicationError), (Result.RECEIVE_TERMINATION_FAILED, CommunicationError),
    (Result.BAUD_RATE_FAILED, CommunicationError), (Result.WRONG_COMMAND, DeviceRefusedError),
    (Result.WRONG_ARGUMENT, DeviceRefusedError), (Result.CLOSE_FAILED, KestravoError),
    (Result.BAD_ARGUMENT, KestravoError),
])
def test_each_code_has_its_family(code, family):
    assert kestravo.error_class(code) is family and issubclass(family, KestravoError)


@pytest.mark.parametrize("fault,family", [("off=1", NotConnectedError), ("cts=low", NotReadyError),
                                          ("garble=1", DeviceRefusedError), ("silent=1", CommunicationError)])
def test_failed_openings_raise_their_family(fault, family):
    with kestravo.sim.faults(fault):
        with pytest.raises(family) as e:
            kestravo.Device("sim")
    assert type(e.value) is family


def test_a_port_that_does_not_open_carries_its_reason(tmp_path):
    with pytest.raises(PortOpenError) as e:
        kestravo.Device(str(tmp_path / "ttyUSB7"))
    assert "ttyUSB7" in e.value.reason and e.value.code == Result.OPEN_FAILED


def _image(root):
    """A machine image: a by-id link, a USB and an ACM adapter, one UART and two names without one."""
    for d in ("dev/serial/by-id", "sys/class/tty/ttyS0", "sys/class/tty/ttyS1", "sys/class/tty/ttyS2",
              "sys/class/tty/console"):
        os.makedirs(os.path.join(root, d))
    for f in ("dev/ttyUSB0", "dev/ttyACM3", "dev/ttyS0", "dev/ttyS1", "dev/ttyS2", "dev/tty0"):
        open(os.path.join(root, f), "w").close()
    os.symlink("../../ttyUSB0", os.path.join(root, "dev/serial/by-id/usb-FTDI_KESTRAVO-if00-port0"))
    with open(os.path.join(root, "sys/class/tty/ttyS0/type"), "w") as f:
        f.write("4\n")
    with open(os.path.join(root, "sys/class/tty/ttyS1/type"), "w") as f:
        f.write("0\n")
    with open(os.path.join(root, "sys/class/tty/console/active"), "w") as f:
        f.write("tty0 ttyS0\n")


def test_list_ports_is_what_the_program_lists(tmp_path, control_program):
    root = str(tmp_path / "image")
    _image(root)
    ports = kestravo.list_ports(root)
    assert [p.name for p in ports] == ["/dev/serial/by-id/usb-FTDI_KESTRAVO-if00-port0", "/dev/ttyUSB0",
                                       "/dev/ttyACM3", "/dev/ttyS0"]
    assert ports[0].device == "/dev/ttyUSB0" and ports[3].flags == (kestravo.SYSTEM_CONSOLE,)
    assert ports[1].description == "USB serial adapter" and ports[3].description == "UART"
    listed = subprocess.run([control_program, "--list", root], capture_output=True, text=True, timeout=30).stdout
    assert "".join(p.line + "\n" for p in ports) == listed
    if os.geteuid() != 0:  # root may open anything
        os.chmod(os.path.join(root, "dev/ttyACM3"), 0)
        assert kestravo.NO_PERMISSION in kestravo.list_ports(root)[2].flags
    assert kestravo.list_ports(str(tmp_path / "nothing")) == []
    # A FIFO where a sysfs file should be is not read (an open would wait for a writer).
    os.mkfifo(os.path.join(root, "sys/class/tty/ttyS2/type"))
    assert [p.name for p in kestravo.list_ports(root)][-1] == "/dev/ttyS0"


def _module(*args):
    return subprocess.run([sys.executable, "-m", "kestravo", *args], capture_output=True, text=True, timeout=60)


def test_the_command_line(tmp_path):
    version = _module("--version")
    assert version.returncode == 0 and version.stdout.startswith("kestravo %s\n" % kestravo.__version__)
    assert version.stdout.splitlines()[1].startswith("COM-KESTRAVO library ")
    root = str(tmp_path / "image")
    _image(root)
    listed = _module("--list", root)
    assert listed.returncode == 0 and listed.stdout.splitlines()[1] == "/dev/ttyUSB0"
    os.mkdir(str(tmp_path / "empty"))
    assert _module("--list", str(tmp_path / "empty")).stdout == "No serial ports found\n"
    missing = _module("--list", str(tmp_path / "missing"))
    assert (missing.returncode, missing.stdout) == (4, "")
    assert missing.stderr == "kestravo: --list: %s: no such file or directory\n" % (tmp_path / "missing")
    info = _module("info", "sim")
    assert info.returncode == 0, info.stderr
    assert "Hardware type: 4B53h, hardware version: 1.02\n" in info.stdout
    assert "Product identification: KESTRAVO PG4-HV pulse generator (simulated)\n" in info.stdout
    missing = _module("info", str(tmp_path / "ttyUSB9"))
    assert missing.returncode == 1 and "ttyUSB9" in missing.stderr
    assert _module().returncode == 2


def test_every_public_method_is_documented_and_typed():
    for name, member in inspect.getmembers(kestravo.Device):
        if name.startswith("_"):
            continue
        target = member.fget if isinstance(member, property) else member
        assert inspect.getdoc(target), name
        if callable(target):
            assert "return" in target.__annotations__, name
    for cls in (kestravo.Period, kestravo.Time, kestravo.Fan, kestravo.PortInfo, kestravo.Uptime):
        assert inspect.getdoc(cls)


def test_sixteen_devices_from_sixteen_threads():
    failures = []

    def work(k):
        try:
            with kestravo.Device("sim") as device:
                for round_ in range(5):
                    device.set_pulser_delay(k % 4, k * 1000 + round_)
                    assert device.pulser_delay(k % 4).raw == k * 1000 + round_
        except Exception as error:  # collected for the main thread
            failures.append("%d: %r" % (k, error))

    threads = [threading.Thread(target=work, args=(k,)) for k in range(16)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []


def test_one_device_shared_by_threads_keeps_each_call_whole():
    failures = []
    with kestravo.Device("sim") as device:
        def work(pulser):
            try:
                for round_ in range(10):
                    device.set_pulser_width(pulser, pulser * 100 + round_)
                    assert device.pulser_width(pulser).raw == pulser * 100 + round_
            except Exception as error:
                failures.append(repr(error))
        threads = [threading.Thread(target=work, args=(p,)) for p in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    assert failures == []


def test_one_version_everywhere(header):
    """The header's release is the package's, its metadata's (pyproject's) and --version's."""
    release = re.search(r'#define COM_KESTRAVO_VERSION_STRING "([^"]+)"', header).group(1)
    assert kestravo.__version__ == release == importlib.metadata.version("kestravo")
    assert _module("--version").stdout.splitlines()[0] == "kestravo " + release


def _built(variable):
    folder = os.environ.get(variable)
    if not folder:
        pytest.skip("no built archives (%s is set by python_test.sh)" % variable)
    return sorted(glob.glob(os.path.join(folder, "*.whl"))) + sorted(glob.glob(os.path.join(folder, "*.tar.gz")))


def test_the_archives_carry_what_python_users_expect():
    wheel, sdist = _built("KESTRAVO_DIST")
    version = kestravo.__version__
    with zipfile.ZipFile(wheel) as z:
        names = set(z.namelist())
        info = "kestravo-%s.dist-info/" % version
        metadata = z.read(info + "METADATA").decode()
        assert {info + "LICENSE", info + "CHANGELOG.md", info + "entry_points.txt", "kestravo/py.typed"} <= names
        assert z.read(info + "entry_points.txt").decode() == "[console_scripts]\nkestravo = kestravo.__main__:run\n\n"
        assert {i.date_time for i in z.infolist()} == {(2020, 1, 1, 0, 0, 0)}
    for line in ("Version: " + version, "License: MIT", "License-File: LICENSE",
                 "Classifier: License :: OSI Approved :: MIT License", "Classifier: Typing :: Typed",
                 "Requires-Python: >=3.9", "Keywords: pulse generator,serial"):
        assert "\n" + line in metadata, line
    assert metadata.count("\nClassifier: ") >= 8
    with tarfile.open(sdist) as t:
        members = {m.name: m for m in t.getmembers()}
        base = "kestravo-%s/" % version
        for name in ("LICENSE", "CHANGELOG.md", "PKG-INFO", "pyproject.toml", "_build/kestravo_build.py",
                     "kestravo/__init__.py", "tests/conftest.py", "tests/test_lab_use.py"):
            assert base + name in members, name
        assert {(m.mtime, m.uid, m.gid, m.uname) for m in members.values()} == {(1577836800, 0, 0, "")}
        assert t.extractfile(base + "PKG-INFO").read().decode() == metadata


def test_the_archives_are_reproducible():
    first, again = _built("KESTRAVO_DIST"), _built("KESTRAVO_DIST_AGAIN")
    assert [os.path.basename(p) for p in first] == [os.path.basename(p) for p in again]
    for a, b in zip(first, again):
        with open(a, "rb") as f, open(b, "rb") as g:
            assert f.read() == g.read(), a


def test_the_backend_reads_every_field_of_pyproject(tmp_path):
    """The backend's own reader of pyproject.toml agrees with tomllib, and every field it is given
    reaches the metadata."""
    backend = _backend()
    text = (backend.__file__ and open(os.path.join(os.path.dirname(os.path.dirname(backend.__file__)),
                                                   "pyproject.toml"), encoding="utf-8").read())
    extra = ('\n[project.urls]\nDocumentation = "https://example.org/kestravo"\n'
             '"Bug Tracker" = "https://example.org/issues"\n[project.entry-points."kestravo.ports"]\nx = "a.b:c"\n')
    try:
        import tomllib
    except ImportError:
        tomllib = None
    if tomllib is not None:
        assert backend.read_toml(text + extra) == tomllib.loads(text + extra)
    project = backend.read_toml(text + extra)["project"]
    project["version"] = "9.9"
    meta = backend.metadata_text(project, "# readme\n")
    assert "\nProject-URL: Bug Tracker, https://example.org/issues\n" in meta and meta.endswith("\n\n# readme\n")
    assert backend.entry_points_text(project).endswith("[kestravo.ports]\nx = a.b:c\n\n")


def _backend():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = os.path.join(here, "_build")
    if not os.path.isfile(os.path.join(path, "kestravo_build.py")):
        pytest.skip("the build backend is not beside the tests")
    sys.path.insert(0, path)
    try:
        import kestravo_build
    finally:
        sys.path.remove(path)
    return kestravo_build
