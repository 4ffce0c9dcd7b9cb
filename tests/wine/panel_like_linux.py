#!/usr/bin/env python3
"""The Windows panel under Wine serves the same JSON as the Linux panel for the same device.

Usage: panel_like_linux.py WINE_RUN WINDOWS_PANEL LINUX_PANEL
Both open a steady simulated device of their own; their settings tables, identities, settings,
states and readings must be equal, and a change must give the same read-back.
Exits 77 (skipped) without a Linux panel.
"""
import http.client
import json
import os
import re
import signal
import subprocess
import sys
import time

WINE_RUN, WINDOWS, LINUX = sys.argv[1:4]


class Panel:
    def __init__(self, command):
        env = dict(os.environ, KESTRAVO_SIM_FAULTS="steady=1")
        self.process = subprocess.Popen(command + ["sim"], stdout=subprocess.PIPE, text=True, env=env,
                                        start_new_session=True)
        line = self.process.stdout.readline()
        m = re.search(r":(\d+)/\?token=([0-9a-f]{32})", line)
        if not m:
            self.stop()
            sys.exit("no address from %s: %r" % (command[-1], line))
        self.port, self.token = int(m.group(1)), m.group(2)

    def call(self, method, path, body=None):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        c.request(method, path, json.dumps(body) if body is not None else None,
                  {"X-Kestravo-Token": self.token, "Content-Type": "application/json"})
        r = c.getresponse()
        data = json.loads(r.read())
        c.close()
        return r.status, data

    def state(self):
        for _ in range(300):
            status, s = self.call("GET", "/api/state")
            if status == 200 and s.get("connected"):
                return s
            time.sleep(0.1)
        sys.exit("no snapshot: %s" % s)

    def stop(self):
        try:
            os.killpg(self.process.pid, signal.SIGTERM)
            self.process.wait(timeout=20)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            os.killpg(self.process.pid, signal.SIGKILL)
        self.process.stdout.close()


def comparable(s):
    h = s["health"]
    return {"identity": s["identity"], "settings": s["settings"],
            "health": {k: h[k] for k in ("main_state", "device_state", "controller_state", "housekeeping",
                                         "sensors", "leds")},
            "keys": sorted(s), "health_keys": sorted(h)}


def main():
    if not os.path.exists(LINUX):
        print("no Linux panel beside this build")
        return 77
    linux = Panel([LINUX])
    windows = Panel([WINE_RUN, WINDOWS])
    failures = []
    try:
        for path in ("/api/settings",):
            if linux.call("GET", path) != windows.call("GET", path):
                failures.append(path + " differs")
        a, b = comparable(linux.state()), comparable(windows.state())
        for key in a:
            if a[key] != b[key]:
                failures.append("state %s differs:\n  Linux:   %s\n  Windows: %s" % (key, a[key], b[key]))
        change = {"setting": "pulser_width", "index": 3, "raw": 4242}
        if linux.call("POST", "/api/set", change) != windows.call("POST", "/api/set", change):
            failures.append("a change's read-back differs")
        bad = {"setting": "pulser_width", "index": 4, "raw": 1}
        if linux.call("POST", "/api/set", bad) != windows.call("POST", "/api/set", bad):
            failures.append("a refusal differs")
    finally:
        windows.stop()
        linux.stop()
    for f in failures:
        print("FAIL:", f)
    print("compared: settings table, identity, settings, states, readings, a change, a refusal")
    return 1 if failures else 0


sys.exit(main())
