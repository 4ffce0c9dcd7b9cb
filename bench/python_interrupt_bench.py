#!/usr/bin/env python3
"""Ctrl-C latency and cost of the Python package's memory blocks, at 9600 baud and 1 Mbaud, on the
simulated device in this process (which keeps the wire's time: 11 bits a character).

    KESTRAVO_LIBRARY=build/ci/libCOM-KESTRAVO.so.1 PYTHONPATH=python python3 bench/python_interrupt_bench.py

For each block policy (the rate's blocks, and whole 4092-byte blocks as before) it prints the time
from SIGINT to the KeyboardInterrupt during a 16 KiB read at 9600 baud (signals at several points of
the transfer), and the time of a 4 KiB read and write at 9600 baud and of 16 KiB each way at 1 Mbaud.
Figures are ratios of one run on one machine.
"""
import os
import signal
import sys
import threading
import time

import kestravo
from kestravo import device as device_module

WHOLE = (kestravo.MEMORY_BLOCK_MAX, kestravo.MEMORY_BLOCK_MAX)


def latency(delay):
    """Seconds from SIGINT, sent delay seconds into a 16 KiB read, to its KeyboardInterrupt."""
    sent = []

    def fire():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    with kestravo.Device("sim") as device:
        timer = threading.Timer(delay, fire)
        timer.start()
        try:
            device.memory_data(0, kestravo.MEMORY_SIZE)
        except KeyboardInterrupt:
            caught = time.monotonic()
        else:
            raise RuntimeError("the read ended before the signal")
        timer.join()
        device.hw_type()  # still in step
        return caught - sent[0]


def transfer(baud, size):
    with kestravo.Device("sim") as device:
        if baud != 9600:
            device.set_baud_rate(baud)
        data = bytes(range(256)) * (size // 256)
        start = time.monotonic()
        device.set_memory_data(0, data)
        written = time.monotonic() - start
        start = time.monotonic()
        assert device.memory_data(0, size) == data
        return written, time.monotonic() - start


def main():
    signal.signal(signal.SIGINT, signal.default_int_handler)
    policies = [("rate's blocks", None), ("4092-byte blocks", WHOLE)]
    for name, fixed in policies:
        original = device_module.memory_block_sizes
        if fixed:
            device_module.memory_block_sizes = lambda baud: fixed
        try:
            delays = [0.7, 1.9, 3.1, 4.6, 6.2]
            waits = [latency(d) for d in delays]
            slow = transfer(9600, 4096)
            fast = transfer(1000000, kestravo.MEMORY_SIZE)
        finally:
            device_module.memory_block_sizes = original
        print("%-17s Ctrl-C latency at 9600 baud: mean %.2f s, max %.2f s (%s)" % (
            name, sum(waits) / len(waits), max(waits), ", ".join("%.2f" % w for w in waits)))
        print("%-17s 4 KiB at 9600 baud: write %.2f s, read %.2f s; 16 KiB at 1 Mbaud: write %.3f s, read %.3f s"
              % (name, slow[0], slow[1], fast[0], fast[1]))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
