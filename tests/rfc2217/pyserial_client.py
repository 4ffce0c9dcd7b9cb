#!/usr/bin/env python3
"""pySerial's rfc2217:// client against COM-KESTRAVO-Sim --rfc2217.

Usage: pyserial_client.py HOST:PORT   Prints what it saw; exit status 0 when all checks held.
"""
import sys
import time

import serial

port = serial.serial_for_url("rfc2217://" + sys.argv[1], baudrate=9600, bytesize=8, parity="E", stopbits=1,
                             timeout=2)
try:
    assert port.baudrate == 9600 and port.parity == "E", (port.baudrate, port.parity)
    port.dtr = True
    port.rts = True
    deadline = time.time() + 3
    while not (port.cts and port.dsr and port.cd) and time.time() < deadline:
        time.sleep(0.05)
    print("CTS=%d DSR=%d CD=%d" % (port.cts, port.dsr, port.cd))
    assert port.cts and port.dsr and port.cd
    port.reset_input_buffer()
    port.write(b"V\r")
    reply = port.read_until(b"\r")
    print("reply=%r" % reply)
    assert reply == b"V0103\r", reply
    port.rts = False  # the device drops CTS after RTS falls
    deadline = time.time() + 3
    while port.cts and time.time() < deadline:
        time.sleep(0.05)
    print("after RTS off: CTS=%d" % port.cts)
    assert not port.cts
finally:
    port.close()
print("pySerial client: passed")
