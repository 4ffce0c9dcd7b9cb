#!/usr/bin/env python3
"""The front panel's JSON interface against the simulated device, over real HTTP.

Usage: panel_test.py PANEL CONTROL SIM   (the panel, the console program, the simulated device)
Starts the panel on a fresh simulated device with a state file of its own, and checks what a page
and a script see: the views, every refusal (token, Host, method, body), changes with their range
checks and read-back (a refused change leaves the device as it was), a change seen by another
client, the stored configurations, and the read-only mode.
"""
import http.client
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time
import unittest

PANEL, CONTROL, SIM = sys.argv[1], sys.argv[2], sys.argv[3]


class Panel:
    def __init__(self, port_name, *args):
        self.process = subprocess.Popen([PANEL, *args, port_name], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"http://(\[[0-9a-f:]+\]|[^/:]+):(\d+)/\?token=([0-9a-f]{32})", line)
        if not match:
            self.process.kill()
            raise RuntimeError("no URL in %r (%s)" % (line, self.process.stderr.read()))
        self.port, self.token = int(match.group(2)), match.group(3)
        self.host = "%s:%d" % (match.group(1), self.port)
        self.address = match.group(1).strip("[]")

    def request(self, method, path, body=None, headers=None, raw=None, timeout=30):
        connection = http.client.HTTPConnection(self.address, self.port, timeout=timeout)
        h = {"Host": self.host}
        h.update(headers or {})
        data = raw if raw is not None else (json.dumps(body).encode() if body is not None else None)
        connection.putrequest(method, path, skip_host=True)
        for k, v in h.items():
            connection.putheader(k, v)
        if data is not None:
            connection.putheader("Content-Length", str(len(data)))
        connection.endheaders(data)
        response = connection.getresponse()
        content = response.read()
        connection.close()
        return response.status, dict(response.getheaders()), content

    def get(self, path, **kw):
        status, headers, content = self.request("GET", path + ("&" if "?" in path else "?") + "token=" + self.token, **kw)
        return status, json.loads(content) if headers.get("Content-Type", "").startswith("application/json") else content

    def post(self, path, body, **kw):
        headers = {"X-Kestravo-Token": self.token, "Content-Type": "application/json"}
        headers.update(kw.pop("headers", {}))
        status, _, content = self.request("POST", path, body, headers=headers, **kw)
        return status, json.loads(content)

    def state(self):
        status, s = self.get("/api/state")
        assert status == 200, s
        return s

    def wait_state(self, check):
        """The first snapshot that passes check (the poller reads once a second)."""
        for _ in range(100):
            s = self.state()
            if s.get("connected") and check(s):
                return s
            time.sleep(0.1)
        raise AssertionError("no snapshot passed the check: %s" % s)

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=30)
        self.process.stdout.close()
        self.process.stderr.close()


class PanelTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        os.environ["KESTRAVO_SIM_FAULTS"] = "steady=1"
        cls.panel = Panel("sim:" + os.path.join(cls.dir.name, "state"))
        cls.panel.wait_state(lambda s: True)

    @classmethod
    def tearDownClass(cls):
        cls.panel.close()
        cls.dir.cleanup()

    def test_views_hold_the_device(self):
        s = self.panel.state()
        self.assertEqual(set(s["settings"]["pulser_delay"][0]), {"raw", "seconds"})
        self.assertEqual(len(s["settings"]["pulser_delay"]), 4)
        self.assertEqual(len(s["health"]["fans"]), 3)
        self.assertIn("master_enable", s["health"]["controller_state"])
        self.assertEqual(s["health"]["main_state"]["text"], "Device active")
        period = s["settings"]["oscillator_period"]
        self.assertAlmostEqual(period["seconds"], (period["raw"] + 2) * 1e-8)
        status, table = self.panel.get("/api/settings")
        self.assertEqual(status, 200)
        self.assertEqual(table["sources"][10], "pulser 1 output")
        status, page = self.panel.get("/")
        self.assertEqual(status, 200)
        self.assertIn(b'id="diagram"', page)
        self.assertLess(len(page), 200 * 1024)

    def test_the_console_program_reads_the_same_device_values(self):
        # Two fresh steady devices, one behind a panel, one behind the console program: every value
        # the program prints is the one the panel shows.
        panel = Panel("sim")
        try:
            s = panel.wait_state(lambda s: True)
        finally:
            panel.close()
        env = dict(os.environ, KESTRAVO_COM1="sim", KESTRAVO_SIM_FAULTS="steady=1")
        out = subprocess.run([CONTROL, "1", "-n", "-p", "-v", "-V", "-d", "-i", "-s", "-o", "-P0d", "-P1w", "-h",
                              "-L", "-F", "-M", "-T"], env=env, capture_output=True, text=True).stdout
        ident, h, st = s["identity"], s["health"], s["settings"]
        fw_major, fw_minor = ident["fw_version"].split(".")
        expected = [
            "Product number: %d" % ident["product_no"],
            "Product identification: %s" % ident["product_id"],
            "Hardware type: %04Xh, hardware version: %s" % (ident["hw_type"], ident["hw_version"]),
            "Firmware date: %s" % ident["fw_date"],
            "State:\t%s" % h["main_state"]["text"],
            "Device status: %08Xh = " % h["device_state"]["value"],
            "Oscillator period: %d (" % st["oscillator_period"]["raw"],
            "Pulse delay of pulser #0: %d (" % st["pulser_delay"][0]["raw"],
            "Pulse width of pulser #1: %d (" % st["pulser_width"][1]["raw"],
            "12V: %.3fV" % h["housekeeping"]["volt_12v"],
            "5V0: %.3fV" % h["housekeeping"]["volt_5v0"],
            "3V3: %.3fV" % h["housekeeping"]["volt_3v3"],
            "CPU: %.2fdegC" % h["housekeeping"]["cpu_temp"],
            "Red: %s,    Green: %s,    Blue: %s" % tuple("Yes" if h["leds"][c] else " No" for c in ("red", "green", "blue")),
            "Sensor data:    #1: %.2fdegC    #2: %.2fdegC    #3: %.2fdegC" % tuple(h["sensors"]),
        ]
        for k, fan in enumerate(h["fans"]):
            expected.append("fan #%d:    enabled: %s    failed: %s    set: %5drpm    measured: %5drpm    PWM: %6.2f%%" % (
                k + 1, "Yes" if fan["enabled"] else " No", "Yes" if fan["failed"] else " No", fan["set_rpm"],
                fan["measured_rpm"], fan["pwm_percent"]))
        for line in expected:
            with self.subTest(line):
                self.assertIn(line, out)
        self.assertIn("Firmware version: %s-%s" % (fw_major, fw_minor), out)

    def test_refusals_change_nothing(self):
        before = self.panel.state()["settings"]["pulser_delay"][2]["raw"]
        cases = [
            ("no token", "GET", "/api/state", None, {}, 403),
            ("wrong token", "GET", "/api/state?token=" + "0" * 32, None, {}, 403),
            ("wrong Host", "GET", "/api/state?token=" + self.panel.token, None, {"Host": "evil.example:%d" % self.panel.port}, 403),
            ("POST without the token header", "POST", "/api/set?token=" + self.panel.token,
             {"setting": "pulser_delay", "index": 2, "raw": 7}, {"Content-Type": "application/json"}, 403),
            ("a form's body type", "POST", "/api/set", {"setting": "pulser_delay", "index": 2, "raw": 7},
             {"X-Kestravo-Token": self.panel.token, "Content-Type": "application/x-www-form-urlencoded"}, 400),
            ("PUT", "PUT", "/api/set", {}, {"X-Kestravo-Token": self.panel.token}, 405),
        ]
        for name, method, path, body, headers, expected in cases:
            with self.subTest(name):
                status, _, _ = self.panel.request(method, path, body, headers=headers)
                self.assertEqual(status, expected)
        bad_bodies = [
            ("malformed JSON", b"{setting:", 400),
            ("not an object", b"[1,2]", 400),
            ("unknown setting", json.dumps({"setting": "warp", "raw": 1}).encode(), 400),
            ("index out of range", json.dumps({"setting": "pulser_delay", "index": 4, "raw": 1}).encode(), 400),
            ("negative value", json.dumps({"setting": "pulser_delay", "index": 2, "raw": -1}).encode(), 400),
            ("value too large", json.dumps({"setting": "pulser_delay", "index": 2, "raw": 2**32}).encode(), 400),
            ("a 4-bit field", json.dumps({"setting": "switch_enable_delay", "index": 0, "raw": 16}).encode(), 400),
            ("a fraction", json.dumps({"setting": "pulser_delay", "index": 2, "raw": 1.5}).encode(), 400),
            ("a text", json.dumps({"setting": "pulser_delay", "index": 2, "raw": "7"}).encode(), 400),
            ("unknown place", json.dumps({"number": 126}).encode(), 400),
        ]
        for name, raw, expected in bad_bodies:
            with self.subTest(name):
                path = "/api/config/save" if "place" in name else "/api/set"
                status, _, content = self.panel.request("POST", path, raw=raw, headers={
                    "X-Kestravo-Token": self.panel.token, "Content-Type": "application/json"})
                self.assertEqual(status, expected)
                self.assertIn("error", json.loads(content))
        status, _, _ = self.panel.request("POST", "/api/set", raw=b"x" * (1024 * 1024 + 1), headers={
            "X-Kestravo-Token": self.panel.token, "Content-Type": "application/json"})
        self.assertEqual(status, 413)
        status, _, _ = self.panel.request("GET", "/api/state?token=" + self.panel.token,
                                          headers={"X-Filler": "y" * 20000})
        self.assertEqual(status, 431)
        self.assertEqual(self.panel.state()["settings"]["pulser_delay"][2]["raw"], before)

    def test_a_change_is_read_back_and_seen_by_another_client(self):
        status, result = self.panel.post("/api/set", {"setting": "pulser_delay", "index": 1, "raw": 12345})
        self.assertEqual(status, 200, result)
        self.assertEqual(result["value"], {"raw": 12345, "seconds": 12348e-8})
        s = self.panel.wait_state(lambda s: s["settings"]["pulser_delay"][1]["raw"] == 12345)
        self.assertAlmostEqual(s["settings"]["pulser_delay"][1]["seconds"], 12348e-8)
        for setting, index, raw in [("oscillator_period", None, 0xFFFFFFFF), ("burst_size", 1, 0xFFFFFF),
                                    ("switch_rise_delay", 3, 15), ("switch_fall_delay", 3, 4),
                                    ("trigger_mapping_on", None, 1)]:
            with self.subTest(setting):
                body = {"setting": setting, "raw": raw}
                if index is not None:
                    body["index"] = index
                status, result = self.panel.post("/api/set", body)
                self.assertEqual(status, 200, result)
                self.assertEqual(result["value"]["raw"], raw)
                # A script reading the state right after its change finds the value read back.
                shown = self.panel.state()["settings"][setting]
                self.assertEqual((shown if index is None else shown[index])["raw"], raw)
        # A time in seconds, to the nearest step after the setting's offset (10 ns; a switch's 0.5 ns).
        for body, expected in (({"setting": "pulser_delay", "index": 0, "seconds": 3.03e-6}, 300),
                               ({"setting": "pulser_width", "index": 0, "seconds": 1.004e-6}, 98),
                               ({"setting": "oscillator_period", "seconds": 2e-8}, 0),
                               ({"setting": "switch_rise_delay", "index": 0, "seconds": 3.5e-9}, 7)):
            with self.subTest(body=body):
                status, result = self.panel.post("/api/set", body)
                self.assertEqual((status, result["value"]["raw"]), (200, expected))
        for body in ({"setting": "pulser_delay", "index": 0, "seconds": 1e-8},   # below the offset of 30 ns
                     {"setting": "pulser_delay", "index": 0, "seconds": 43},     # above 2^32 - 1 steps
                     {"setting": "pulser_delay", "index": 0, "seconds": "1"},
                     {"setting": "burst_size", "index": 0, "seconds": 1e-6}):    # not a time
            with self.subTest(body=body):
                self.assertEqual(self.panel.post("/api/set", body)[0], 400)
        # The rise delay stays when the fall delay changes: they share one call.
        self.assertEqual(self.panel.wait_state(
            lambda s: s["settings"]["switch_fall_delay"][3]["raw"] == 4)["settings"]["switch_rise_delay"][3]["raw"], 15)

    def test_configurations_by_click(self):
        self.assertEqual(self.panel.post("/api/set", {"setting": "pulser_width", "index": 0, "raw": 777})[0], 200)
        self.assertEqual(self.panel.post("/api/config/save", {"number": 5})[0], 200)
        status, result = self.panel.post("/api/config/name", {"number": 5, "name": "Laser ä"})
        self.assertEqual(status, 200, result)
        status, configs = self.panel.get("/api/configs")
        place = configs["places"][5]
        self.assertEqual((place["name"], place["active"], place["valid"]), ("Laser ä", True, True))
        self.assertEqual(self.panel.post("/api/config/name", {"number": 5, "name": "x" * 52})[0], 400)
        # Names are Windows-1252 on the device: the euro sign is its byte 80h; a character the code
        # page lacks, and text that is not UTF-8, are refused.
        self.assertEqual(self.panel.post("/api/config/name", {"number": 5, "name": "€ 5 – ‰"})[0], 200)
        self.assertEqual(self.panel.get("/api/configs")[1]["places"][5]["name"], "€ 5 – ‰")
        self.assertIn(b"Name=\\x80 5 \\x96 \\x89\n", self.panel.get("/api/config/file?number=5")[1])
        for name in ("Ω", "\u0080", "a\u0000b"):
            self.assertEqual(self.panel.post("/api/config/name", {"number": 5, "name": name})[0], 400, name)
        status, _, _ = self.panel.request("POST", "/api/config/name", raw=b'{"number": 5, "name": "\xff"}',
                                          headers={"X-Kestravo-Token": self.panel.token,
                                                   "Content-Type": "application/json"})
        self.assertEqual(status, 400)
        self.assertEqual(self.panel.get("/api/configs")[1]["places"][5]["name"], "€ 5 – ‰")
        self.assertEqual(self.panel.post("/api/set", {"setting": "pulser_width", "index": 0, "raw": 1})[0], 200)
        self.assertEqual(self.panel.post("/api/config/load", {"number": 5})[0], 200)
        self.panel.wait_state(lambda s: s["settings"]["pulser_width"][0]["raw"] == 777)
        self.assertEqual(self.panel.post("/api/config/delete", {"number": 5})[0], 200)
        self.assertFalse(self.panel.get("/api/configs")[1]["places"][5]["active"])
        self.assertEqual(self.panel.post("/api/config/delete", {"number": 100})[0], 400)  # never saved

    def test_configuration_files_in_the_programs_format(self):
        for n, name in ((10, "Ten"), (11, "Eleven")):
            self.assertEqual(self.panel.post("/api/set", {"setting": "pulser_delay", "index": 3, "raw": 1000 + n})[0], 200)
            self.assertEqual(self.panel.post("/api/config/save", {"number": n})[0], 200)
            self.assertEqual(self.panel.post("/api/config/name", {"number": n, "name": name})[0], 200)
        status, one = self.panel.get("/api/config/file?number=10")
        self.assertEqual(status, 200)
        text = one.decode()
        self.assertTrue(text.startswith("[Configuration11]\nName=Ten\nOscillator="), text)
        self.assertIn("Pulser3=1010,", text)
        status, everything = self.panel.get("/api/config/file")
        self.assertIn(b"[Configuration12]\nName=Eleven\n", everything)
        self.assertEqual(self.panel.get("/api/config/file?number=99")[0], 409)  # never saved
        self.assertEqual(self.panel.get("/api/config/file?number=126")[0], 400)
        # Back into another place; then a file with a bad section changes nothing.
        moved = text.replace("[Configuration11]", "[Configuration21]").replace("Name=Ten", "Name=Twenty")
        status, result = self.panel.post("/api/config/upload", {"text": moved, "number": 20})
        self.assertEqual((status, result), (200, {"stored": [20]}))
        self.assertEqual(self.panel.get("/api/configs")[1]["places"][20]["name"], "Twenty")
        bad = everything.decode().replace("Name=Eleven", "Name=Changed").replace("Pulser3=1011,", "Pulser3=x,")
        status, result = self.panel.post("/api/config/upload", {"text": bad})
        self.assertEqual(status, 400)
        self.assertIn("Section 'Configuration12', Entry 'Pulser3'", result["error"])
        self.assertEqual(self.panel.get("/api/configs")[1]["places"][11]["name"], "Eleven")
        self.assertEqual(self.panel.post("/api/config/upload", {"text": "[Other]\nx=1\n"})[0], 400)
        self.assertEqual(self.panel.post("/api/config/upload", {"text": moved, "number": 3})[0], 400)  # no section

    def test_memory_backup_and_restore_checked_whole(self):
        # 16 KiB each way at 9600 baud: about 40 s each.
        def memory_line():
            with open(os.path.join(self.dir.name, "state")) as f:
                return next(line for line in f if line.startswith("memory 0 "))
        status, backup = self.panel.get("/api/memory/backup", timeout=240)
        self.assertEqual(status, 200)
        lines = backup.decode().split()
        self.assertEqual(len(lines), 16384)
        for name, text in (("too long", "\r\n".join(lines + ["00"])), ("too short", "\r\n".join(lines[:100])),
                           ("not hexadecimal", "\r\n".join(["ZZ"] + lines[1:]))):
            with self.subTest(name):
                self.assertEqual(self.panel.post("/api/memory/restore", {"text": text})[0], 400)
        changed = ["A5"] + lines[1:]
        import threading
        restored = []
        restore = threading.Thread(target=lambda: restored.append(self.panel.post(
            "/api/memory/restore", {"text": "\r\n".join(changed) + "\r\n"}, timeout=240)))
        restore.start()
        try:
            # While it runs, the state shows its progress and what needs the device is refused at once
            # (a change would otherwise wait for the whole restore and be answered 200).
            busy = None
            for _ in range(300):
                busy = self.panel.state().get("busy")
                if busy:
                    break
                time.sleep(0.1)
            self.assertEqual((busy["what"], busy["total"]), ("memory restore", 16384))
            status, result = self.panel.post("/api/set", {"setting": "pulser_delay", "index": 0, "raw": 1})
            self.assertEqual((status, result["error"]), (409, "busy: memory restore in progress"))
            self.assertEqual(self.panel.get("/api/configs")[0], 409)
            self.assertEqual(self.panel.post("/api/memory/restore", {"text": "00"})[0], 409)
        finally:
            restore.join()
        self.assertEqual(restored, [(200, {"restored": 16384})])
        self.assertNotIn("busy", self.panel.state())
        self.assertEqual(memory_line().split()[2][:2], "A5")  # committed to the device's store

    def test_software_trigger(self):
        status, result = self.panel.post("/api/trigger", {})
        self.assertEqual(status, 200, result)
        self.assertEqual((result["start"] & 0x18, result["stop"] & 0x18), (0x10, 0))
        self.assertEqual(self.panel.post("/api/trigger", {"start": 4})[0], 400)

    def test_trend_and_csv(self):
        """The trend records what the data log records, in the data log's columns and formats."""
        first = self.panel.get("/api/trend")[1]
        self.assertEqual(first["interval_ms"], 250)
        for _ in range(200):
            if first["next"] >= 3:
                break
            time.sleep(0.25)
            first = self.panel.get("/api/trend")[1]
        self.assertEqual(len(first["samples"]), first["next"] - first["first"])
        # The spacing the samples really have (a slow line keeps them further apart than 250 ms).
        self.assertGreaterEqual(first["spacing_ms"], first["interval_ms"])
        sample = first["samples"][-1]
        health = self.panel.state()["health"]  # the steady device reads the same every time
        self.assertEqual(sample["sensors"], health["sensors"])
        self.assertEqual(sample["fans"], [f["measured_rpm"] for f in health["fans"]])
        self.assertEqual({k: sample[k] for k in health["housekeeping"]}, health["housekeeping"])
        # Only the samples after those a page has.
        status, later = self.panel.get("/api/trend?since=%d" % (first["next"] - 1))
        self.assertEqual(status, 200)
        self.assertEqual(later["first"], first["next"] - 1)
        self.assertEqual(len(later["samples"]), later["next"] - later["first"])
        self.assertEqual(later["samples"][0], first["samples"][-1])
        for bad in ("-1", "x", "1" * 20):
            self.assertEqual(self.panel.get("/api/trend?since=" + bad)[0], 400, bad)

        status, csv = self.panel.get("/api/trend.csv")
        lines = csv.decode().splitlines()
        self.assertEqual(lines[0], "Uptime,Sensor1,Sensor2,Sensor3,12V,5V0,3V3,CPU,Fan1,Fan2,Fan3")
        self.assertGreaterEqual(len(lines) - 1, len(first["samples"]))  # the trend may have grown since
        self.assertRegex(lines[1], r"^\d+\.\d\d(,-?\d+\.\d\d){3}(,\d+\.\d{3}){3},-?\d+\.\d\d(,\d+){3}$")

    def test_text_that_is_not_utf8_never_ends_the_panel(self):
        # A request target with a byte that is no UTF-8 is refused; the panel goes on answering.
        with socket.create_connection(("127.0.0.1", self.panel.port), timeout=30) as s:
            s.sendall(b"POST /api/config/\xff HTTP/1.1\r\nHost: " + self.panel.host.encode() +
                      b"\r\nX-Kestravo-Token: " + self.panel.token.encode() +
                      b"\r\nContent-Type: application/json\r\nContent-Length: 2\r\n\r\n{}")
            self.assertTrue(s.makefile("rb").readline().startswith(b"HTTP/1.1 400 "))
        self.assertEqual(self.panel.get("/api/config/file?number=%FF")[0], 400)
        self.assertIsNone(self.panel.process.poll())
        self.assertEqual(self.panel.state()["settings"]["oscillator_period"]["raw"] >= 0, True)
        # A device whose identification holds bytes of 80h and above: read as Windows-1252.
        os.environ["KESTRAVO_SIM_FAULTS"] = "steady=1,highbytes=1"
        try:
            panel = Panel("sim")
        finally:
            os.environ["KESTRAVO_SIM_FAULTS"] = "steady=1"
        try:
            s = panel.wait_state(lambda s: True)
            self.assertEqual(s["identity"]["product_id"], "KESTRAVO G\u00e9n\u00e9rateur \u20ac\u009d\u00ff (simulated)")
            time.sleep(1.5)  # more snapshots, still up
            self.assertIsNone(panel.process.poll())
            self.assertTrue(panel.state()["connected"])
        finally:
            panel.close()

    def test_many_clients_at_once(self):
        import threading
        results = []

        def client():
            results.append(self.panel.get("/api/state")[0])
        threads = [threading.Thread(target=client) for _ in range(20)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(results, [200] * 20)


class ReconnectTest(unittest.TestCase):
    def start_sim(self, port):
        sim = subprocess.Popen([SIM, "--rfc2217", str(port)], stdout=subprocess.PIPE, text=True)
        sim.stdout.readline()  # the address: it listens
        return sim

    def test_a_device_that_drops_off_shows_disconnected_and_comes_back(self):
        import socket
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        sim = self.start_sim(port)
        panel = Panel("rfc2217://127.0.0.1:%d" % port)
        try:
            panel.wait_state(lambda s: True)
            sim.terminate()
            sim.wait(timeout=30)
            sim.stdout.close()
            for _ in range(300):
                if not panel.state()["connected"]:
                    break
                time.sleep(0.1)
            stale = panel.state()
            self.assertFalse(stale["connected"])
            self.assertIn("error", stale)
            # The last values read stay, marked stale, with the time they were read.
            self.assertTrue(stale["stale"])
            self.assertIn("read_at", stale)
            self.assertEqual(stale["settings"]["oscillator_period"]["raw"], 998)
            sim = self.start_sim(port)
            back = panel.wait_state(lambda s: True)
            # The error goes with the device's answer.
            self.assertNotIn("error", back)
            self.assertNotIn("stale", back)
        finally:
            panel.close()
            sim.terminate()
            sim.wait(timeout=30)
            if sim.stdout:
                sim.stdout.close()


class AuditTest(unittest.TestCase):
    def test_dios_and_controller_through_the_api_and_every_change_in_the_log(self):
        with tempfile.TemporaryDirectory() as d:
            log = os.path.join(d, "changes.log")
            panel = Panel("sim", "--log", log)
            try:
                panel.wait_state(lambda s: True)
                for body, raw in (({"setting": "dio_direction", "index": 6, "raw": 2}, 2),
                                  ({"setting": "dio_direction", "index": 5, "raw": 1}, 1),
                                  ({"setting": "dio_output_source", "index": 6, "raw": 19}, 19),
                                  ({"setting": "controller_config", "raw": 0x47}, 0x47)):
                    status, result = panel.post("/api/set", body)
                    self.assertEqual((status, result["value"]["raw"]), (200, raw), body)
                for body in ({"setting": "dio_direction", "index": 7, "raw": 0},
                             {"setting": "dio_direction", "index": 0, "raw": 3},
                             {"setting": "dio_output_source", "index": 0, "raw": 64},
                             {"setting": "controller_config", "raw": 256}):
                    self.assertEqual(panel.post("/api/set", body)[0], 400, body)
                self.assertEqual(panel.post("/api/trigger", {})[0], 200)
                # The console program sees what the panel set (the DIOs' masks hold both).
                state = panel.state()
                self.assertEqual(state["settings"]["dio_direction"][6]["raw"], 2)
                self.assertEqual(state["settings"]["controller_config"]["raw"], 0x47)
                status, shown = panel.get("/api/log")
                self.assertEqual(status, 200)
            finally:
                panel.close()
            lines = open(log).read().splitlines()
            self.assertEqual(lines, shown["lines"])
            self.assertEqual(len(lines), 5)
            self.assertRegex(lines[0], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d 127\.0\.0\.1 dio_direction #6: 0 -> 2$")
            self.assertTrue(lines[3].endswith("controller_config: 7 -> 71"), lines[3])
            self.assertTrue(lines[4].endswith("trigger {}"), lines[4])


class ListenTest(unittest.TestCase):
    def test_loopback_names_and_ipv6(self):
        for address, host in (("localhost", "localhost"), ("::1", "[::1]")):
            with self.subTest(address):
                panel = Panel("sim", "--listen", address)
                try:
                    self.assertEqual(panel.host, "%s:%d" % (host, panel.port))
                    self.assertTrue(panel.wait_state(lambda s: True)["connected"])
                    # Another site's name for the same address is still refused.
                    status, _, _ = panel.request("GET", "/api/state?token=" + panel.token,
                                                 headers={"Host": "evil.example:%d" % panel.port})
                    self.assertEqual(status, 403)
                finally:
                    panel.close()

    def test_all_addresses_take_this_machines_names_and_the_allowed_ones(self):
        panel = Panel("sim", "--listen", "0.0.0.0", "--allow-host", "lab-pc.example")
        try:
            def status(host):
                return panel.request("GET", "/api/state?token=" + panel.token,
                                     headers={"Host": "%s:%d" % (host, panel.port)})[0]
            self.assertEqual(status(socket.gethostname()), 200)
            self.assertEqual(status("lab-pc.example"), 200)
            self.assertEqual(status("127.0.0.1"), 200)
            self.assertEqual(status("evil.example"), 403)
        finally:
            panel.close()

    def test_an_address_that_does_not_resolve_is_refused_at_start(self):
        result = subprocess.run([PANEL, "--listen", "no-such-host.invalid", "sim"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot listen on no-such-host.invalid", result.stderr)


class LockoutTest(unittest.TestCase):
    def test_slow_connections_without_the_token_hold_nothing_the_user_needs(self):
        panel = Panel("sim")
        tricklers = []
        try:
            panel.wait_state(lambda s: True)
            # 200 connections that send a byte of their head now and then, as a slow attack does.
            for _ in range(200):
                c = socket.create_connection(("127.0.0.1", panel.port), timeout=30)
                c.sendall(b"G")
                tricklers.append(c)
            for k in range(20):
                for c in tricklers[k * 10:(k + 1) * 10]:
                    try:
                        c.sendall(b"E")
                    except OSError:
                        pass
                status, _, _ = panel.request("GET", "/api/state?token=" + panel.token)
                self.assertEqual(status, 200, "request %d" % k)
            # A connection that has not sent its whole head within 2 s is let go.
            slow = tricklers[-1]
            slow.settimeout(10)
            self.assertIn(slow.recv(4096)[:12], (b"", b"HTTP/1.1 408"))
        finally:
            for c in tricklers:
                c.close()
            panel.close()


class TokenTest(unittest.TestCase):
    def test_a_token_file_keeps_the_token_across_starts(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "token")
            first = Panel("sim", "--token-file", path)
            first.close()
            self.assertEqual(os.stat(path).st_mode & 0o777, 0o600)
            with open(path) as f:
                self.assertEqual(f.read(), first.token + "\n")
            second = Panel("sim", "--token-file", path)
            second.close()
            self.assertEqual(second.token, first.token)
            with open(path, "w") as f:
                f.write("not a token\n")
            result = subprocess.run([PANEL, "--token-file", path, "sim"], capture_output=True, text=True)
            self.assertEqual(result.returncode, 1)
            self.assertIn("does not hold a token", result.stderr)

    def test_the_page_sets_a_cookie_that_lets_views_in_but_not_changes(self):
        panel = Panel("sim")
        try:
            status, headers, page = panel.request("GET", "/?token=" + panel.token)
            self.assertEqual(status, 200)
            cookie = headers["Set-Cookie"]
            name = "kestravo_token_%d" % panel.port
            self.assertEqual(cookie, "%s=%s; HttpOnly; SameSite=Strict; Path=/" % (name, panel.token))
            self.assertIn(('name="kestravo-token" content="%s"' % panel.token).encode(), page)
            jar = {"Cookie": "other=1; %s=%s" % (name, panel.token)}
            self.assertEqual(panel.request("GET", "/", headers=jar)[0], 200)  # a reload without ?token=
            self.assertEqual(panel.request("GET", "/api/state", headers=jar)[0], 200)
            self.assertEqual(panel.request("GET", "/api/state", headers={"Cookie": name + "=wrong"})[0], 403)
            # A change still needs the token in its header: a cookie alone is what a forged form has.
            status, _, _ = panel.request("POST", "/api/trigger", {}, headers=dict(jar, **{"Content-Type": "application/json"}))
            self.assertEqual(status, 403)
        finally:
            panel.close()


class ReadOnlyTest(unittest.TestCase):
    def test_views_but_no_changes(self):
        panel = Panel("sim", "--read-only")
        try:
            panel.wait_state(lambda s: True)
            self.assertTrue(panel.state()["read_only"])
            status, result = panel.post("/api/set", {"setting": "pulser_delay", "index": 0, "raw": 1})
            self.assertEqual(status, 403)
            self.assertIn("read-only", result["error"])
        finally:
            panel.close()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
