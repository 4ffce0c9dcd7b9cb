"""The serial ports of this machine, as `COM-KESTRAVO-Control --list` lists them.

Only directories, links and small regular files of sysfs are read: no device is ever opened (an
open would raise a UART's DTR, and a terminal's could block).
"""
from __future__ import annotations

import os
import stat
import sys
from dataclasses import dataclass
from typing import List, Tuple

SYSTEM_CONSOLE = "system console"
NO_PERMISSION = "no permission"


@dataclass(frozen=True)
class PortInfo:
    """One serial port.

    name: what to open (a /dev/serial/by-id path, /dev/ttyUSB0, COM3 on Windows); device: the
    device it stands for (the same as name unless name is a link); description: the kind of port;
    flags: SYSTEM_CONSOLE for the kernel's console, NO_PERMISSION for a port this user may not open.
    """

    name: str
    device: str
    description: str
    flags: Tuple[str, ...] = ()

    @property
    def line(self) -> str:
        """The line `COM-KESTRAVO-Control --list` prints for the port."""
        text = self.name if self.name == self.device else "%s -> %s" % (self.name, self.device)
        if sys.platform != "win32":
            if SYSTEM_CONSOLE in self.flags:
                text += " (the kernel's console)"
            if NO_PERMISSION in self.flags:
                text += " (not for this user: it may need to be in the 'dialout' group)"
        return text


def _entries(directory: str) -> List[str]:
    try:
        return sorted(os.listdir(directory), key=os.fsencode)
    except OSError:
        return []


def _small_text(path: str) -> str:
    """The text of a small regular file without its line end; "" for anything else (a FIFO, a
    device, a link to one), which is never opened for reading."""
    try:
        if not stat.S_ISREG(os.stat(path).st_mode):
            return ""
        fd = os.open(path, os.O_RDONLY | getattr(os, "O_NONBLOCK", 0) | getattr(os, "O_NOCTTY", 0))
    except OSError:
        return ""
    try:
        if not stat.S_ISREG(os.fstat(fd).st_mode):
            return ""
        return os.read(fd, 4096).decode("utf-8", "replace").rstrip("\n ")
    except OSError:
        return ""
    finally:
        os.close(fd)


def _normalised(path: str) -> str:
    parts: List[str] = []
    for part in path.split("/"):
        if part == "..":
            if parts:
                parts.pop()
        elif part and part != ".":
            parts.append(part)
    return "/" + "/".join(parts)


_KINDS = (("ttyUSB", "USB serial adapter"), ("ttyACM", "USB modem (CDC ACM)"), ("ttyS", "UART"))


def _description(device: str) -> str:
    base = device.rsplit("/", 1)[-1]
    for prefix, text in _KINDS:
        if base.startswith(prefix):
            return text
    return "serial device"


def _windows_ports() -> List[PortInfo]:
    if sys.platform != "win32":
        return []
    import winreg

    found = []
    try:
        key = winreg.OpenKey(winreg.HKEY_LOCAL_MACHINE, r"HARDWARE\DEVICEMAP\SERIALCOMM")
    except OSError:
        return []
    with key:
        index = 0
        while True:
            try:
                device, name, _ = winreg.EnumValue(key, index)
            except OSError:
                break
            index += 1
            name = str(name).upper()
            if name.startswith("COM") and name[3:].isdigit():
                found.append((int(name[3:]), PortInfo(name, str(device), "COM port")))
    return [port for _, port in sorted(found)]


def _console_names(root: str) -> str:
    """The kernel's console devices, as " tty0 ttyS0 " (the names between spaces)."""
    return " %s " % _small_text(root + "/sys/class/tty/console/active")


def is_system_console(path: str, root: str = "") -> bool:
    """True when path (a device path, or a link to one such as a /dev/serial/by-id name) is a
    device the kernel writes its console to: what list_ports() flags SYSTEM_CONSOLE."""
    if not path.startswith("/") or sys.platform == "win32":
        return False
    device = os.path.realpath(root + path)[len(root):] if root else os.path.realpath(path)
    return device.startswith("/dev/") and " %s " % device[len("/dev/"):] in _console_names(root)


def list_ports(root: str = "") -> List[PortInfo]:
    """The serial ports of this machine, or of a machine image below root: the /dev/serial/by-id
    names with the devices they point to, then /dev/ttyUSB*, /dev/ttyACM* and the /dev/ttyS* with a
    UART behind them (sysfs type not 0). On Windows the COM ports the system knows (root unused).
    Opens no device."""
    if sys.platform == "win32":
        return _windows_ports()
    console = _console_names(root)

    def flags(device: str) -> Tuple[str, ...]:
        out = []
        if " %s " % device.rsplit("/", 1)[-1] in console:
            out.append(SYSTEM_CONSOLE)
        if not os.access(root + device, os.R_OK | os.W_OK):
            out.append(NO_PERMISSION)
        return tuple(out)

    ports = []
    by_id = "/dev/serial/by-id"
    for name in _entries(root + by_id):
        try:
            link = os.readlink(root + by_id + "/" + name)
        except OSError:
            link = ""
        device = by_id + "/" + name if not link else _normalised(link if link.startswith("/") else by_id + "/" + link)
        ports.append(PortInfo(by_id + "/" + name, device, _description(device), flags(device)))
    devices = _entries(root + "/dev")
    for prefix, _ in _KINDS:
        for name in devices:
            if not name.startswith(prefix):
                continue
            kind = _small_text(root + "/sys/class/tty/" + name + "/type")
            if prefix == "ttyS" and kind in ("", "0"):
                continue  # a name without a UART behind it
            device = "/dev/" + name
            ports.append(PortInfo(device, device, _description(device), flags(device)))
    return ports
