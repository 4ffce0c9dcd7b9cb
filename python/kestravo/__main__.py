"""python3 -m kestravo: --list, info PORT, --version."""
from __future__ import annotations

import argparse
import sys
from typing import List, Optional, Union

from . import KestravoError, __version__, list_ports
from .device import Device


def _info(port: str) -> int:
    target: Union[int, str] = int(port) if port.isdigit() else port
    with Device(target) as device:
        uptime, housekeeping = device.uptime(), device.housekeeping()
        print("Port: %s (slot %d)" % (device.port_name, device.slot))
        print("Hardware type: %04Xh, hardware version: %s" % (device.hw_type(), device.hw_version()))
        print("Firmware version: %s, firmware date: %s" % (device.fw_version(), device.fw_date()))
        print("Product identification: %s" % device.product_id())
        print("Product number: %d" % device.product_no())
        print("Uptime: %.2f s, enabled %d s" % (uptime.total_seconds, uptime.optime))
        print("Housekeeping: 12V %.3f V, 5V0 %.3f V, 3V3 %.3f V, CPU %.2f degC"
              % (housekeeping.volt_12v, housekeeping.volt_5v0, housekeeping.volt_3v3, housekeeping.temp_cpu))
    return 0


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m kestravo",
                                     description="The KESTRAVO pulse generator from Python.")
    parser.add_argument("--version", action="version", version="kestravo " + __version__)
    parser.add_argument("--list", nargs="?", const="", metavar="ROOT",
                        help="list the serial ports (of a machine image below ROOT); opens none")
    parser.add_argument("command", nargs="?", choices=["info"], help="info PORT: identity and housekeeping once")
    parser.add_argument("port", nargs="?", help="a device path, sim, sim:<file>, rfc2217://host:port or a COM number")
    args = parser.parse_args(argv)
    if args.list is not None:
        ports = list_ports(args.list)
        for port in ports:
            print(port.line)
        if not ports:
            print("No serial ports found")
        return 0
    if args.command != "info" or not args.port:
        parser.print_usage(sys.stderr)
        return 2
    try:
        return _info(args.port)
    except (KestravoError, ValueError) as error:
        print("kestravo: %s" % error, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
