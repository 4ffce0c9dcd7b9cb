"""kestravo (or python3 -m kestravo): --list, info PORT, --version.

Expected failures (no library, a port that does not open, a device that does not answer, a closed
pipe, Ctrl-C) end with one line on stderr and an exit status, never a traceback.
"""
from __future__ import annotations

import argparse
import os
import sys
from typing import List, Optional, Union

from . import KestravoError, __version__, list_ports
from ._library import LibraryNotFoundError, library_release
from .device import Device


def _info(port: str, allow_system_console: bool) -> int:
    target: Union[int, str] = int(port) if port.isdigit() else port
    with Device(target, allow_system_console=allow_system_console) as device:
        uptime, housekeeping = device.uptime(), device.housekeeping()
        firmware = device.fw_version()
        print("Port: %s (slot %d)" % (device.port_name, device.slot))
        print("Hardware type: %04Xh, hardware version: %s" % (device.hw_type(), device.hw_version()))
        # The firmware as the console program's status shows it: "1-03".
        print("Firmware version: %d-%02d, firmware date: %s" % (firmware.major, firmware.minor, device.fw_date()))
        print("Product identification: %s" % device.product_id())
        print("Product number: %d" % device.product_no())
        print("Uptime: %.2f s, enabled %d s" % (uptime.total_seconds, uptime.optime))
        print("Housekeeping: 12V %.3f V, 5V0 %.3f V, 3V3 %.3f V, CPU %.2f degC"
              % (housekeeping.volt_12v, housekeeping.volt_5v0, housekeeping.volt_3v3, housekeeping.temp_cpu))
    return 0


def _version() -> str:
    try:
        loaded = "COM-KESTRAVO library %s" % library_release()
    except LibraryNotFoundError as error:
        loaded = str(error)
    return "kestravo %s\n%s" % (__version__, loaded)


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="kestravo", description="The KESTRAVO pulse generator from Python.")
    parser.add_argument("--version", action="store_true", help="the package's version and the loaded library's")
    parser.add_argument("--list", nargs="?", const="", metavar="ROOT",
                        help="list the serial ports (of a machine image below ROOT); opens none")
    parser.add_argument("--allow-system-console", action="store_true",
                        help="open PORT even when it is the kernel's console")
    parser.add_argument("command", nargs="?", choices=["info"], help="info PORT: identity and housekeeping once")
    parser.add_argument("port", nargs="?", help="a device path, sim, sim:<file>, rfc2217://host:port or a COM number")
    return parser


def _run(argv: Optional[List[str]]) -> int:
    parser = _parser()
    args = parser.parse_args(argv)
    if args.version:
        print(_version())
        return 0
    if args.list is not None:
        if args.list and not os.path.exists(args.list):
            # A machine image that is not there would read as a machine without ports.
            print("kestravo: --list: %s: no such file or directory" % args.list, file=sys.stderr)
            return 4
        ports = list_ports(args.list)
        for port in ports:
            print(port.line)
        if not ports:
            print("No serial ports found")
        return 0
    if args.command != "info" or not args.port:
        parser.print_usage(sys.stderr)
        return 2
    return _info(args.port, args.allow_system_console)


def main(argv: Optional[List[str]] = None) -> int:
    """The command line; returns the exit status (0, 1 for a failure, 2 for a usage error, 130 after
    Ctrl-C)."""
    try:
        status = _run(argv)
        sys.stdout.flush()
        return status
    except BrokenPipeError:
        # The reader went away (| head): the rest of the output goes nowhere, quietly.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
    except KeyboardInterrupt:
        print("kestravo: interrupted", file=sys.stderr)
        return 130
    except (KestravoError, OSError, ValueError, TypeError, RuntimeError) as error:
        print("kestravo: %s" % error, file=sys.stderr)
        return 1


def run() -> None:
    """The entry point of the kestravo console script."""
    sys.exit(main())


if __name__ == "__main__":
    run()
