#!/usr/bin/env python3
"""Figures of the Tango device server, with a python3-tango client on this machine:

- a read of a polled attribute (served from the last poll) and of a setting (one exchange with
  the device), mean and median at the client;
- a write of a setting (one exchange, whose reply the library checks, then the event), against
  the same write made through the library in this process;
- the server's processor time with 16 simulated devices polled every second, as a share of one
  core over a window.

Usage: tango_bench.py COM-KESTRAVO-Tango LIBRARY [ROUNDS] [WINDOW_SECONDS]
"""
import ctypes
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import tango

SERVER = sys.argv[1]
LIBRARY = sys.argv[2]
ROUNDS = int(sys.argv[3]) if len(sys.argv) > 3 else 500
WINDOW = float(sys.argv[4]) if len(sys.argv) > 4 else 20.0


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def serve(folder, devices):
    port = free_port()
    db = os.path.join(folder, f"bench{devices}.res")
    names = [f"b/kestravo/{n}" for n in range(devices)]
    with open(db, "w") as f:
        f.write("COM-KESTRAVO-Tango/bench/DEVICE/KestravoPulseGenerator: " + ", ".join(names) + "\n")
        for name in names:
            f.write(f"{name}->Port: sim\n")
    server = subprocess.Popen([SERVER, "bench", f"-file={db}", "-ORBendPoint", f"giop:tcp:127.0.0.1:{port}"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    for line in server.stdout:
        if "Ready to accept request" in line:
            break
    threading.Thread(target=server.stdout.read, daemon=True).start()
    proxies = [tango.DeviceProxy(f"tango://127.0.0.1:{port}/{name}#dbase=no") for name in names]
    for p in proxies:
        while p.state() != tango.DevState.ON:
            time.sleep(0.1)
    return server, proxies


def timed_ms(call, rounds):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        call()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.mean(times), statistics.median(times)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def library_write_ms():
    """A pulser width written through the library on its own simulated device."""
    lib = ctypes.CDLL(LIBRARY)
    assert lib.COM_KESTRAVO_OpenPort(ctypes.c_uint16(15), b"sim") == 0
    values = iter([98 + i % 50 for i in range(ROUNDS)])
    try:
        return timed_ms(lambda: lib.COM_KESTRAVO_SetPulserWidth(ctypes.c_uint16(15), ctypes.c_uint32(0),
                                                                ctypes.c_uint32(next(values))), ROUNDS)
    finally:
        lib.COM_KESTRAVO_Close(ctypes.c_uint16(15))


def main():
    direct = library_write_ms()
    with tempfile.TemporaryDirectory() as folder:
        server, (dev,) = serve(folder, 1)
        try:
            polled = timed_ms(lambda: dev.Supply12V, ROUNDS)
            setting = timed_ms(lambda: dev.Pulser0Width, ROUNDS)
            widths = iter([1e-6 + (i % 50) * 1e-8 for i in range(ROUNDS)])
            write = timed_ms(lambda: setattr(dev, "Pulser0Width", next(widths)), ROUNDS)
        finally:
            server.terminate()
            server.wait()
        exchange = setting[0] - polled[0]
        print(f"polled attribute read: mean {polled[0]:.3f} ms, median {polled[1]:.3f} ms")
        print(f"setting read (one exchange): mean {setting[0]:.3f} ms, median {setting[1]:.3f} ms")
        print(f"one exchange with the simulated device: {exchange:.3f} ms (setting read - polled read)")
        print(f"the same write through the library: mean {direct[0]:.3f} ms, median {direct[1]:.3f} ms")
        print(f"setting write at the client: mean {write[0]:.3f} ms, median {write[1]:.3f} ms, "
              f"beyond the library's write: mean {write[0] - direct[0]:.3f} ms, median {write[1] - direct[1]:.3f} ms")

        server, devices = serve(folder, 16)
        try:
            time.sleep(2)
            before, start = cpu_seconds(server.pid), time.monotonic()
            time.sleep(WINDOW)
            used, spent = cpu_seconds(server.pid) - before, time.monotonic() - start
        finally:
            server.terminate()
            server.wait()
        print(f"16 devices polled every second: {100 * used / spent:.2f} % of a core over {spent:.0f} s")


if __name__ == "__main__":
    main()
