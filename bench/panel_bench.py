#!/usr/bin/env python3
"""The front panel's costs, measured in one run against the simulated device on a pseudo-terminal
(so that an exchange takes the time a real line takes).

Usage: panel_bench.py PANEL SIM LIBRARY
Prints:
- a change made through the panel (POST /api/set: the set and its read-back) against the same two
  calls made directly through the library on a second device: the panel's extra time per change;
- the panel's processor time while 10 clients watch (each reads /api/state and the new trend
  samples once a second, as the page does), as a share of one core, in alternating windows of
  10 s alone and watched, and what the tabs add;
- the page's size and the time to fetch it on localhost;
- with 200 connections trickling a byte of their head every second (a slow attack without the
  token), the share of 100 of the user's state requests answered within 1 s, and their median time.
"""
import socket
import ctypes
import http.client
import json
import os
import re
import subprocess
import sys
import threading
import time

PANEL, SIM, LIBRARY = sys.argv[1:4]


def start_sim():
    sim = subprocess.Popen([SIM], stdout=subprocess.PIPE, text=True)
    return sim, sim.stdout.readline().strip()


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    sim_a, pty_a = start_sim()
    sim_b, pty_b = start_sim()
    panel = subprocess.Popen([PANEL, pty_a], stdout=subprocess.PIPE, text=True)
    m = re.search(r":(\d+)/\?token=(\w+)", panel.stdout.readline())
    port, token = int(m.group(1)), m.group(2)
    headers = {"X-Kestravo-Token": token, "Content-Type": "application/json"}

    def call(method, path, body=None):
        c = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
        c.request(method, path, json.dumps(body) if body is not None else None, headers)
        r = c.getresponse()
        data = r.read()
        c.close()
        return r.status, data

    while json.loads(call("GET", "/api/state")[1]).get("connected") is not True:
        time.sleep(0.2)

    # Direct library calls on the second device: set and read back, as the panel does.
    lib = ctypes.CDLL(LIBRARY)
    assert lib.COM_KESTRAVO_OpenPort(1, pty_b.encode()) == 0
    value = ctypes.c_uint32()
    rounds = 20
    t0 = time.perf_counter()
    for i in range(rounds):
        lib.COM_KESTRAVO_SetPulserDelay(1, 1, 1000 + i)
        lib.COM_KESTRAVO_GetPulserDelay(1, 1, ctypes.byref(value))
    direct = (time.perf_counter() - t0) / rounds
    t0 = time.perf_counter()
    for i in range(rounds):
        assert call("POST", "/api/set", {"setting": "pulser_delay", "index": 1, "raw": 1000 + i})[0] == 200
    through = (time.perf_counter() - t0) / rounds
    print("a change: %.1f ms through the panel, %.1f ms directly: %.1f ms more (the exchange the poller had begun, "
          "and HTTP)" % (through * 1e3, direct * 1e3, (through - direct) * 1e3))

    # Ten watching tabs.
    stop = threading.Event()

    def tab():
        # As the page does: the state once a second, and the trend samples it does not have yet.
        since = 0
        while not stop.is_set():
            call("GET", "/api/state")
            since = json.loads(call("GET", "/api/trend?since=%d" % since)[1])["next"]
            stop.wait(1.0)
    # The host's scheduling makes a single window noisy: alone and watched alternate, 10 s each.
    def share(seconds):
        c0, w0 = cpu_seconds(panel.pid), time.time()
        time.sleep(seconds)
        return (cpu_seconds(panel.pid) - c0) / (time.time() - w0)
    alone, watched = [], []
    for _ in range(3):
        alone.append(share(10))
        stop.clear()
        tabs = [threading.Thread(target=tab) for _ in range(10)]
        for t in tabs:
            t.start()
        watched.append(share(10))
        stop.set()
        for t in tabs:
            t.join()
    a, w = sum(alone) / len(alone), sum(watched) / len(watched)
    print("processor time of the panel: %.2f %% of a core alone, %.2f %% with 10 tabs watching: the tabs add "
          "%.2f %% (windows of 10 s: alone %s, watched %s)" % (a * 100, w * 100, (w - a) * 100,
                                                              " ".join("%.1f" % (x * 100) for x in alone),
                                                              " ".join("%.1f" % (x * 100) for x in watched)))

    t0 = time.perf_counter()
    status, page = call("GET", "/?token=" + token)
    print("the page: %.1f KiB, fetched in %.2f ms" % (len(page) / 1024, (time.perf_counter() - t0) * 1e3))

    # 200 slow connections without the token, each sending a byte a second; the user asks meanwhile.
    tricklers = []
    for _ in range(200):
        c = socket.create_connection(("127.0.0.1", port), timeout=10)
        c.sendall(b"G")
        tricklers.append(c)
    times = []
    for k in range(100):
        for c in tricklers[(k * 2) % 200:(k * 2) % 200 + 2]:
            try:
                c.sendall(b"E")
            except OSError:
                pass
        t0 = time.perf_counter()
        try:
            ok = call("GET", "/api/state")[0] == 200
        except OSError:
            ok = False
        times.append(time.perf_counter() - t0 if ok else float("inf"))
        time.sleep(0.05)
    for c in tricklers:
        c.close()
    within = sum(1 for t in times if t <= 1.0)
    print("with 200 trickling connections: %d %% of 100 requests answered within 1 s (median %.1f ms)"
          % (within, sorted(times)[50] * 1e3))

    lib.COM_KESTRAVO_Close(1)
    panel.terminate()
    panel.wait()
    for s in (sim_a, sim_b):
        s.terminate()
        s.wait()


main()
