#!/usr/bin/env python3
"""Logs a KESTRAVO device's housekeeping to a CSV file, one row per reading.

Usage: housekeeping_csv.py PORT FILE [--interval SECONDS] [--count N]
PORT is a COM number or a name (/dev/ttyUSB0, sim, rfc2217://host:port). Rows go to FILE as they are
read (each one flushed), until N rows or Ctrl-C. Needs the kestravo package (pip install ./python).
"""
import argparse
import csv
import sys
import time

import kestravo

COLUMNS = ["time", "uptime_s", "volt_12v", "volt_5v0", "volt_3v3", "temp_cpu_c",
           "sensor1_c", "sensor2_c", "sensor3_c", "fan1_rpm", "fan2_rpm", "fan3_rpm", "main_state"]


def reading(device):
    hk, temperatures, fans = device.housekeeping(), device.sensor_temperatures(), device.fans()
    return ([time.strftime("%Y-%m-%dT%H:%M:%S"), "%.3f" % device.uptime().total_seconds,
             "%.3f" % hk.volt_12v, "%.3f" % hk.volt_5v0, "%.3f" % hk.volt_3v3, "%.2f" % hk.temp_cpu]
            + ["" if t is None else "%.2f" % t for t in temperatures]
            + [str(f.measured_rpm) for f in fans] + ["%04X" % device.main_state()])


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("port")
    parser.add_argument("file")
    parser.add_argument("--interval", type=float, default=1.0)
    parser.add_argument("--count", type=int, default=0, help="rows to log (0: until Ctrl-C)")
    args = parser.parse_args(argv)
    rows = 0
    try:
        with kestravo.Device(args.port) as device, open(args.file, "w", newline="") as out:
            writer = csv.writer(out)
            writer.writerow(COLUMNS)
            while args.count == 0 or rows < args.count:
                if rows:
                    time.sleep(args.interval)
                writer.writerow(reading(device))
                out.flush()
                rows += 1
    except KeyboardInterrupt:
        pass
    except (kestravo.KestravoError, OSError, ValueError) as error:
        print("housekeeping_csv: %s" % error, file=sys.stderr)
        return 1
    print("%d rows written to %s" % (rows, args.file))
    return 0


if __name__ == "__main__":
    sys.exit(main())
