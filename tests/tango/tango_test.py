#!/usr/bin/env python3
"""The Tango device server against the simulated device, with a real Tango client (python3-tango)
and no database server: the server reads its devices from a file database, as a user can run it.

One server process serves two devices: a/kestravo/1 on the simulator over RFC 2217 (polled every
200 ms) and a/kestravo/2 on the in-process simulator. The client checks the attributes against
the catalogue's table, writes in seconds read back on the device's step, a write out of range
refused, every command, events for a write and for a polled reading, the settings against what
the console program reads from the same simulator once the server has let it go, and a device
that is killed and comes back.

The attribute table of docs/tango.md is the server's own.

With --database the same checks run through the Tango database that TANGO_HOST names: the server
is registered there with tango_admin, as a user registers it, and the client names its devices
without an address.

Usage: tango_test.py [--database] COM-KESTRAVO-Tango COM-KESTRAVO-Sim COM-KESTRAVO-Control DOCS/tango.md
"""
import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

import tango

DATABASE = "--database" in sys.argv
SERVER, SIM, CONTROL, DOCS = [a for a in sys.argv[1:] if a != "--database"][:4]
FAILURES = []
FOLDER = None
REGISTERED = []
SIMULATORS = []  # ended however the test ends


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAILED:", what, flush=True)
    return condition


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_sim(port=0):
    sim = subprocess.Popen([SIM, "--rfc2217", str(port), "--listen", "127.0.0.1"], stdout=subprocess.PIPE, text=True)
    address = sim.stdout.readline().strip()
    return sim, int(address.rsplit(":", 1)[1])


def register(rfc_port):
    """The server's devices and properties, in the database or in a file database; the options
    the server starts with."""
    properties = [("a/kestravo/1", "Port", f"rfc2217://127.0.0.1:{rfc_port}"), ("a/kestravo/1", "PollingPeriod", "200"),
                  ("a/kestravo/2", "Port", "sim")]
    if DATABASE and REGISTERED:
        return []
    if DATABASE:
        REGISTERED.append(True)
        admin = ["tango_admin", "--add-server", "COM-KESTRAVO-Tango/test", "KestravoPulseGenerator",
                 "a/kestravo/1,a/kestravo/2"]
        subprocess.run(admin, check=True)
        for device, name, value in properties:
            subprocess.run(["tango_admin", "--add-property", device, name, value], check=True)
        return []
    db = os.path.join(FOLDER, "kestravo.res")
    with open(db, "w") as f:
        f.write("COM-KESTRAVO-Tango/test/DEVICE/KestravoPulseGenerator: a/kestravo/1, a/kestravo/2\n")
        for device, name, value in properties:
            f.write(f"{device}->{name}: {value}\n")
    return [f"-file={db}"]


def start_server(rfc_port, tango_port):
    options = register(rfc_port)
    server = subprocess.Popen([SERVER, "test", *options, "-ORBendPoint", f"giop:tcp:127.0.0.1:{tango_port}"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    for line in server.stdout:
        if "Ready to accept request" in line:
            break
    else:
        raise SystemExit("the server ended before it was ready")
    threading.Thread(target=server.stdout.read, daemon=True).start()
    return server


def proxy(tango_port, n):
    if DATABASE:
        return tango.DeviceProxy(f"a/kestravo/{n}")
    return tango.DeviceProxy(f"tango://127.0.0.1:{tango_port}/a/kestravo/{n}#dbase=no")


def wait_state(dev, state, within):
    """Seconds until dev is in state, None when it is not within the given seconds."""
    start = time.monotonic()
    while time.monotonic() - start < within:
        try:
            if dev.state() == state:
                return time.monotonic() - start
        except tango.DevFailed:
            pass
        time.sleep(0.05)
    return None


def catalogue_rows():
    """Attribute name -> (setting, index) from the server's own table."""
    table = subprocess.run([SERVER, "--attributes"], capture_output=True, text=True, check=True).stdout
    rows = {}
    for line in table.splitlines()[2:]:
        cells = [c.strip() for c in line.strip("|").split("|")]
        m = re.fullmatch(r"(\w+)\[(\d+)\]", cells[1])
        rows[cells[0]] = (m.group(1), int(m.group(2))) if m else None
    return rows


def console_settings(rfc_port):
    """(setting, index) -> raw, as the console program reads them."""
    out = subprocess.run([CONTROL, f"rfc2217://127.0.0.1:{rfc_port}", "--json", "-P", "-O", "-R", "-D", "-w"],
                         capture_output=True, text=True, timeout=60).stdout
    raws = {}
    for line in out.splitlines():
        o = json.loads(line)
        if o.get("kind") == "settings":
            for s in o["settings"]:
                raws[(s["name"], s["index"])] = s["raw"]
        elif o.get("kind") == "controller_state":
            raws[("controller_config", 0)] = o["value"] & 0xFF
            raws[("device_enable", 0)] = int(o["device_enable"])
    return raws


STEPS = {"oscillator_period": (1e-8, 2), "pulser_delay": (1e-8, 3), "pulser_width": (1e-8, 2),
         "switch_enable_delay": (0.5e-9, 0), "switch_rise_delay": (0.5e-9, 0), "switch_fall_delay": (0.5e-9, 0)}


def raw_of(setting, value):
    if setting in STEPS:
        step, offset = STEPS[setting]
        return round(value / step) - offset
    return int(value)


class Events:
    def __init__(self):
        self.values, self.lock = [], threading.Lock()

    def push_event(self, event):
        if not event.err:
            with self.lock:
                self.values.append(event.attr_value.value)

    def wait(self, count, within=5.0):
        end = time.monotonic() + within
        while time.monotonic() < end:
            with self.lock:
                if len(self.values) >= count:
                    return list(self.values)
            time.sleep(0.05)
        with self.lock:
            return list(self.values)


def main():
    rows = catalogue_rows()
    table = subprocess.run([SERVER, "--attributes"], capture_output=True, text=True, check=True).stdout
    with open(DOCS, encoding="utf-8") as f:
        check(table in f.read(), "docs/tango.md holds the server's attribute table (COM-KESTRAVO-Tango --attributes)")
    sim, rfc_port = start_sim()
    SIMULATORS.append(sim)
    tango_port = free_port()
    global FOLDER
    with tempfile.TemporaryDirectory() as FOLDER:
        server = start_server(rfc_port, tango_port)
        try:
            one, two = proxy(tango_port, 1), proxy(tango_port, 2)
            for dev in (one, two):
                check(wait_state(dev, tango.DevState.ON, 10) is not None, f"{dev.name()} ON after opening")
            written, identity = checks_on_a_running_server(one, two, rows)
        finally:
            server.send_signal(signal.SIGINT)
            server.wait(timeout=30)

        # The server let the port go: the console program reads the same settings.
        console = console_settings(rfc_port)
        for name, value in written.items():
            setting, index = rows[name]
            check(console.get((setting, index)) == raw_of(setting, value),
                  f"{name}: the server read {value}, the console program {console.get((setting, index))}")
        check(len(written) == sum(1 for r in rows.values() if r), "every setting read")
        console = console_identity(rfc_port)
        for name, value in identity.items():
            check(console[name] == value, f"{name}: the server read {value!r}, the console program {console[name]!r}")

        # A device that is killed is FAULT, and ON again when it is back.
        server = start_server(rfc_port, tango_port)
        try:
            one, two = proxy(tango_port, 1), proxy(tango_port, 2)
            check(wait_state(one, tango.DevState.ON, 10) is not None, "ON after the restart")
            sim.terminate()
            sim.wait()
            took = wait_state(one, tango.DevState.FAULT, 10)
            check(took is not None, "FAULT once the device is gone")
            print(f"FAULT {took:.2f} s after the simulator stopped" if took is not None else "never FAULT")
            check("rfc2217" in one.status() or "failed" in one.status(), f"the status says why: {one.status()!r}")
            check(two.state() == tango.DevState.ON, "the other device of the process is still ON")
            sim, _ = start_sim(rfc_port)
            SIMULATORS.append(sim)
            took = wait_state(one, tango.DevState.ON, 15)
            check(took is not None, "ON again once the device is back")
            print(f"ON {took:.2f} s after the simulator came back" if took is not None else "never ON again")
        finally:
            server.send_signal(signal.SIGINT)
            server.wait(timeout=30)
    if FAILURES:
        print(f"{len(FAILURES)} failures")
        return 1
    print("all Tango checks passed" + (" through the database" if DATABASE else " without a database"))
    return 0


def checks_on_a_running_server(one, two, rows):
    names = {a.lower() for a in one.get_attribute_list()}
    check(all(n.lower() in names for n in rows), "every attribute of the table is served")

    # Properties from the catalogue.
    config = one.get_attribute_config("Pulser0Delay")
    check(config.unit == "s" and float(config.min_value) == 3e-8 * (1 + 2.2e-16) or float(config.min_value) > 2.9e-8,
          "a delay in seconds from 30 ns")
    check(abs(float(config.max_value) - (0xFFFFFFFF + 3) * 1e-8) < 1e-12, "the largest delay")
    labels = list(one.get_attribute_config("Pulser0TriggerSource").enum_labels)
    check(labels[1] == "software trigger" and labels[0x21] == "negated software trigger", "the sources' names")
    check(one.get_attribute_config("Supply12V").unit == "V", "supplies in volts")

    # Writes in seconds come back on the device's step; enumerations by their index.
    one.Pulser1Delay = 1.234567e-6
    check(abs(one.Pulser1Delay - 1.23e-6) < 1e-15, f"1.234567 us reads back as 1.23 us: {one.Pulser1Delay}")
    one.Switch2RiseDelay = 2.2e-9
    check(abs(one.Switch2RiseDelay - 2.0e-9) < 1e-18, "2.2 ns reads back on the half-nanosecond step")
    one.Pulser0TriggerSource = 0x21
    check(int(one.Pulser0TriggerSource) == 0x21, "a source written by its label's index")
    one.DIO3Direction = 2
    check(int(one.DIO3Direction) == 2, "a DIO made an output")
    one.Pulser1Burst = 12
    check(one.Pulser1Burst == 12, "a burst size")

    # Outside the range: refused by Tango, nothing written.
    for name, value in (("OscillatorPeriod", 100.0), ("Switch0EnableDelay", 1e-8), ("TriggerMapping0", 16)):
        before = getattr(one, name)
        try:
            setattr(one, name, value)
            check(False, f"{name} = {value} refused")
        except tango.DevFailed as e:
            check(e.args[0].reason == "API_WAttrOutsideLimit", f"{name}: {e.args[0].reason}")
        check(getattr(one, name) == before, f"{name} unchanged")

    # Commands; the State's events follow them.
    states = Events()
    state_events = one.subscribe_event("State", tango.EventType.CHANGE_EVENT, states)
    one.Off()
    check(wait_state(one, tango.DevState.OFF, 5) is not None, "Off: OFF")
    check(one.DeviceEnable is False or one.DeviceEnable == 0, "Off: the device enable cleared")
    one.On()
    check(wait_state(one, tango.DevState.ON, 5) is not None, "On: ON")
    seen = states.wait(3)
    check(seen[-2:] == [tango.DevState.OFF, tango.DevState.ON], f"the State's events: {seen}")
    one.unsubscribe_event(state_events)
    one.SoftwareTrigger()
    one.SaveConfiguration([[7], ["tango test"]])
    listed = one.ListConfigurations()
    check("7\ttango test" in listed, f"the saved configuration is listed: {listed}")
    one.Pulser1Burst = 3
    one.LoadConfiguration(7)
    check(one.Pulser1Burst == 12, "LoadConfiguration brings the saved settings back")
    one.Pulser1Burst = 4
    one.LoadConfigurationByName("tango test")
    check(one.Pulser1Burst == 12, "LoadConfigurationByName too")
    for call, args, reason in (("LoadConfigurationByName", ("no such name",), "KESTRAVO_NO_SUCH_CONFIGURATION"),
                               ("LoadConfiguration", (126,), "KESTRAVO_BAD_ARGUMENT"),
                               ("SaveConfiguration", ([[1], ["x" * 52]],), "KESTRAVO_BAD_ARGUMENT")):
        try:
            one.command_inout(call, *args)
            check(False, f"{call}{args} refused")
        except tango.DevFailed as e:
            check(e.args[0].reason == reason, f"{call}: {e.args[0].reason}, expected {reason}")
    one.Purge()
    one.Reconnect()
    check(wait_state(one, tango.DevState.ON, 10) is not None, "Reconnect: ON again")
    # Tango's Init deletes and makes the device again while its polling thread may be pushing
    # events: it must not wait for that thread past the client's time-out.
    watching = one.subscribe_event("Uptime", tango.EventType.CHANGE_EVENT, Events())
    for _ in range(5):
        one.Init()
        check(wait_state(one, tango.DevState.ON, 10) is not None, "Init: ON again")
    one.unsubscribe_event(watching)

    # Events: a write pushes the value read back; a polled reading pushes as it changes.
    written, polled = Events(), Events()
    ids = [one.subscribe_event("Pulser2Width", tango.EventType.CHANGE_EVENT, written),
           one.subscribe_event("Uptime", tango.EventType.CHANGE_EVENT, polled)]
    one.Pulser2Width = 5.555e-7
    values = written.wait(2)
    check(len(values) >= 2 and abs(values[-1] - 5.6e-7) < 1e-15, f"the write's event carries 560 ns: {values}")
    values = polled.wait(3, within=10)
    check(len(values) >= 3 and values[-1] > values[0], f"the uptime's events as it grows: {values}")
    for i in ids:
        one.unsubscribe_event(i)

    # Two devices in one process: each its own device.
    two.Pulser1Burst = 99
    check(two.Pulser1Burst == 99 and one.Pulser1Burst == 12, "the second device is a device of its own")
    check(two.ProductID == one.ProductID and "KESTRAVO" in one.ProductID, "the identity of both")

    # Every setting as the device has it now, and its identity.
    settings = {name: float(getattr(one, name)) for name, setting in rows.items() if setting}
    identity = {name: getattr(one, name) for name in IDENTITY}
    return settings, identity


# The identity attributes and the console program's JSON of the same reading.
IDENTITY = {"ProductID": ("product_id", "product_id"), "ProductNumber": ("product_no", "product_no"),
            "HardwareType": ("hardware", "hw_type"), "HardwareVersion": ("hardware", "hw_version"),
            "FirmwareVersion": ("firmware_version", "fw_version"), "FirmwareDate": ("firmware_date", "fw_date"),
            "MainStateText": ("main_state", "text")}


def console_identity(rfc_port):
    out = subprocess.run([CONTROL, f"rfc2217://127.0.0.1:{rfc_port}", "--json", "-p", "-n", "-v", "-V", "-d", "-i"],
                         capture_output=True, text=True, timeout=60).stdout
    objects = {o["kind"]: o for o in map(json.loads, out.splitlines())}
    return {name: objects.get(kind, {}).get(key) for name, (kind, key) in IDENTITY.items()}


if __name__ == "__main__":
    try:
        status = main()
    finally:
        for simulator in SIMULATORS:
            simulator.terminate()
            simulator.wait()
    sys.exit(status)
