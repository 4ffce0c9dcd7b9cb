#!/usr/bin/env python3
"""pySerial's RFC 2217 port manager serving its loop:// port on a free TCP port of 127.0.0.1.

Prints the port number, then serves one client until it leaves. For the library's interoperability
test: settings are acknowledged, data comes back as it was sent, CTS follows RTS.
"""
import socket
import sys
import threading

import serial
import serial.rfc2217

loop = serial.serial_for_url("loop://", timeout=0.05)
listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(1)
print(listener.getsockname()[1], flush=True)
client, _ = listener.accept()
client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)


class Connection:
    """What the port manager writes its Telnet answers to."""

    def write(self, data):
        client.sendall(data)


manager = serial.rfc2217.PortManager(loop, Connection())
running = True


def from_port():
    while running:
        try:
            data = loop.read(loop.in_waiting or 1)
            if data:
                client.sendall(b"".join(manager.escape(data)))
            manager.check_modem_lines()
        except Exception:
            break


threading.Thread(target=from_port, daemon=True).start()
try:
    while True:
        data = client.recv(1024)
        if not data:
            break
        loop.write(b"".join(manager.filter(data)))
finally:
    running = False
    client.close()
sys.exit(0)
