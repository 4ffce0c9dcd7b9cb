#!/usr/bin/env python3
"""The front panel in a real browser: Debian's chromium, headless, driven by selenium.

Usage: panel_browser_test.py PANEL ARTIFACT_DIR
The page loads without console errors; the timing diagram follows a delay changed in the page and
one changed behind it by another client; a configuration is saved and loaded by click (accepting
the confirmations); the trend grows; switch sources are chosen by name and 4-bit values typed; a read-only panel shows
it and disables its controls; DIOs and controller bits are changed on the page and the change is in
its log; axe-core finds no serious or critical violation; at 390 px nothing scrolls sideways.
Usage: panel_browser_test.py PANEL ARTIFACT_DIR [AXE_JS]
A screenshot of the page is kept in ARTIFACT_DIR.
"""
import http.client
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

PANEL, ARTIFACTS = sys.argv[1], sys.argv[2]
AXE = sys.argv[3] if len(sys.argv) > 3 else ""  # axe-core's axe.min.js (the npm registry's)


class BrowserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.panel = subprocess.Popen([PANEL, "sim:" + os.path.join(cls.dir.name, "state")], stdout=subprocess.PIPE,
                                     text=True)
        line = cls.panel.stdout.readline()
        match = re.search(r"(http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]{32}))", line)
        assert match, line
        cls.url, cls.port, cls.token = match.group(1), int(match.group(2)), match.group(3)
        options = Options()
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--window-size=1400,1100", "--no-first-run", "--user-data-dir=" + os.path.join(cls.dir.name, "profile")):
            options.add_argument(arg)
        options.binary_location = "/usr/bin/chromium"
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.driver.get(cls.url)
        # The page redraws its tables once a second: an element found may be replaced before it is used.
        cls.wait = WebDriverWait(cls.driver, 30, ignored_exceptions=[StaleElementReferenceException])
        cls.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, 'input[data-setting="pulser_delay"]'))

    @classmethod
    def tearDownClass(cls):
        os.makedirs(ARTIFACTS, exist_ok=True)
        cls.driver.save_screenshot(os.path.join(ARTIFACTS, "panel.png"))
        cls.driver.quit()
        cls.panel.terminate()
        cls.panel.wait(timeout=30)
        cls.panel.stdout.close()
        cls.dir.cleanup()

    def type_into(self, selector, text):
        """Types over a field's value as a person does (select it, type), then leaves it with Tab,
        which sends the value."""
        def typed(d):
            field = d.find_element(By.CSS_SELECTOR, selector)
            field.click()
            field.send_keys(Keys.CONTROL, "a")
            field.send_keys(text)
            if field.get_attribute("value") != text:
                return False  # a busy machine may lose a key: type it again
            field.send_keys(Keys.TAB)
            return True
        self.wait.until(typed)

    def back_to_the_panel(self, other):
        """Ends another panel a test started and shows the class's own page again."""
        other.terminate()
        other.wait(timeout=30)
        other.stdout.close()
        self.driver.get(self.url)
        self.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, 'input[data-setting="pulser_delay"]'))

    def lane(self, name):
        return self.driver.find_element(By.CSS_SELECTOR, 'polyline[data-lane="%s"]' % name).get_attribute("points")

    def state(self):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        c.request("GET", "/api/state", headers={"X-Kestravo-Token": self.token})
        state = json.loads(c.getresponse().read())
        c.close()
        return state

    def post(self, path, body):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        c.request("POST", path, json.dumps(body), {"X-Kestravo-Token": self.token, "Content-Type": "application/json"})
        r = c.getresponse()
        self.assertEqual(r.status, 200, r.read())
        c.close()

    def test_1_loads_without_console_errors(self):
        self.assertIn("KESTRAVO", self.driver.title)
        # The token left the address bar; a reload comes in with the cookie the page set.
        self.assertNotIn("token=", self.driver.current_url)
        self.driver.refresh()
        self.wait.until(lambda d: d.find_element(By.ID, "link").text == "connected")
        self.assertEqual(self.driver.find_element(By.ID, "link").text, "connected")
        errors = [e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]
        self.assertEqual(errors, [])

    def test_2_diagram_follows_a_delay_changed_in_the_page(self):
        before = self.lane("pulser 1")

        self.type_into('input[data-setting="pulser_delay"][data-index="0"]', "300")
        self.wait.until(lambda d: self.lane("pulser 1") != before)
        self.wait.until(lambda d: self.state()["settings"]["pulser_delay"][0]["raw"] == 300)
        # A time with its unit: 2 us is 200 steps of 10 ns, less the width's offset of 2.
        width = 'input[data-setting="pulser_width"][data-index="0"]'

        self.type_into(width, "2 us")
        self.wait.until(lambda d: d.find_element(By.CSS_SELECTOR, width).get_attribute("value") == "198")
        self.assertEqual(self.state()["settings"]["pulser_width"][0]["raw"], 198)

    def test_3_diagram_follows_a_delay_changed_behind_it(self):
        # Pulser 2 fires from logic 0 on a fresh device: never, so its lane stays low; chained to
        # pulser 1's output it follows it, and then its delay moves it.
        self.post("/api/set", {"setting": "source_selector", "index": 2, "raw": 10})
        self.wait.until(lambda d: len(self.lane("pulser 2").split()) > 2)
        before = self.lane("pulser 2")
        self.post("/api/set", {"setting": "pulser_delay", "index": 1, "raw": 450})
        self.wait.until(lambda d: self.lane("pulser 2") != before)
        self.post("/api/set", {"setting": "source_selector", "index": 2, "raw": 0})

    def test_4_configuration_saved_and_loaded_by_click(self):
        place = self.driver.find_element(By.ID, "place")
        place.clear()
        place.send_keys("3")
        self.driver.find_element(By.ID, "save").click()
        self.wait.until(lambda d: d.switch_to.alert).accept()
        self.wait.until(lambda d: any(r.text.startswith("3 ") for r in d.find_elements(By.CSS_SELECTOR, "#configs tr")))
        delay = 'input[data-setting="pulser_delay"][data-index="0"]'
        self.post("/api/set", {"setting": "pulser_delay", "index": 0, "raw": 10})
        self.wait.until(lambda d: d.find_element(By.CSS_SELECTOR, delay).get_attribute("value") == "10")
        self.driver.find_element(By.ID, "load").click()
        self.wait.until(lambda d: d.switch_to.alert).accept()
        self.wait.until(lambda d: d.find_element(By.CSS_SELECTOR, delay).get_attribute("value") == "300")
        self.assertEqual(self.state()["settings"]["pulser_delay"][0]["raw"], 300)

    def test_5_trend_grows(self):
        def samples(d):
            text = d.find_element(By.CSS_SELECTOR, "#trend text").text if d.find_elements(By.CSS_SELECTOR, "#trend text") else "0"
            return int(text.split()[0])
        first = self.wait.until(lambda d: samples(d) >= 2 and samples(d))
        self.wait.until(lambda d: samples(d) > first)

    def test_6_switch_settings_by_choice(self):
        """A source is chosen by name; the 4-bit values are typed; each is read back from the device."""
        from selenium.webdriver.support.ui import Select
        picker = 'select[data-setting="switch_trigger_source"][data-index="2"]'
        Select(self.driver.find_element(By.CSS_SELECTOR, picker)).select_by_visible_text("negated digital input 3")
        self.wait.until(lambda d: self.state()["settings"]["switch_trigger_source"][2]["raw"] == 0x25)
        self.type_into('input[data-setting="switch_rise_delay"][data-index="1"]', "9")
        self.wait.until(lambda d: self.state()["settings"]["switch_rise_delay"][1]["raw"] == 9)
        self.wait.until(lambda d: d.find_element(By.CSS_SELECTOR, '[data-meaning="switch_rise_delay-1"]').text == "4.5 ns")
        # Out of range: refused before anything is sent, the device keeps its value.
        before = self.state()["settings"]["trigger_mapping"][4]["raw"]
        self.type_into('input[data-setting="trigger_mapping"][data-index="4"]', "16")
        self.wait.until(lambda d: "out of range" in d.find_element(By.ID, "error").text)
        self.assertEqual(self.state()["settings"]["trigger_mapping"][4]["raw"], before)
        # A source changed behind the page shows by name.
        self.post("/api/set", {"setting": "source_selector", "index": 1, "raw": 0x0B})
        self.wait.until(lambda d: Select(d.find_element(
            By.CSS_SELECTOR, 'select[data-setting="source_selector"][data-index="1"]')).first_selected_option.text
            == "pulser 2 output")

    def test_7_read_only_shown_and_every_control_off(self):
        """A read-only panel says so in the header and no control can be used (downloads and the list stay)."""
        panel = subprocess.Popen([PANEL, "--read-only", "sim"], stdout=subprocess.PIPE, text=True)
        try:
            url = re.search(r"(http://\S+)", panel.stdout.readline()).group(1)
            self.driver.get(url)
            self.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, 'input[data-setting="pulser_delay"]'))
            self.wait.until(lambda d: d.find_element(By.ID, "mode").text == "READ-ONLY")

            def all_off(d):
                controls = d.find_elements(By.CSS_SELECTOR, "main input, main select, main button")
                return controls and all(not c.is_enabled() for c in controls if c.get_attribute("id") != "list")
            self.wait.until(all_off)
        finally:
            self.back_to_the_panel(panel)

    def test_8_dios_controller_and_the_log(self):
        from selenium.webdriver.support.ui import Select
        Select(self.driver.find_element(By.CSS_SELECTOR, 'select[data-setting="dio_direction"][data-index="3"]')
               ).select_by_visible_text("terminated input")
        self.wait.until(lambda d: self.state()["settings"]["dio_direction"][3]["raw"] == 1)
        Select(self.driver.find_element(By.CSS_SELECTOR, 'select[data-setting="dio_output_source"][data-index="0"]')
               ).select_by_visible_text("timebase 4 MHz")
        self.wait.until(lambda d: self.state()["settings"]["dio_output_source"][0]["raw"] == 19)
        # A controller bit changes only after its confirmation; on and off are told in words.
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, '[data-bit-state="6"]').text, "off")
        self.driver.find_element(By.ID, "bit-6").click()
        self.driver.switch_to.alert.accept()
        self.wait.until(lambda d: self.state()["settings"]["controller_config"]["raw"] & 0x40)
        self.wait.until(lambda d: d.find_element(By.CSS_SELECTOR, '[data-bit-state="6"]').text == "on")
        self.driver.find_element(By.ID, "bit-6").click()
        self.driver.switch_to.alert.dismiss()  # refused: nothing is sent
        self.assertTrue(self.state()["settings"]["controller_config"]["raw"] & 0x40)
        self.wait.until(lambda d: any("dio_direction #3: 0 -> 1" in li.text
                                      for li in d.find_elements(By.CSS_SELECTOR, "#log li")))

    def test_9_accessible_and_narrow(self):
        if not AXE or not os.path.exists(AXE):
            self.skipTest("no axe-core (run tests/run-all, which installs it)")
        with open(AXE) as f:
            self.driver.execute_script(f.read())
        result = self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "axe.run(document, {resultTypes: ['violations']}).then((r) => done(r.violations))")
        bad = [(v["id"], v["impact"], [n["target"] for n in v["nodes"]][:5]) for v in result
               if v["impact"] in ("serious", "critical")]
        self.assertEqual(bad, [])
        # A phone's width: the page fits without sideways scrolling.
        self.driver.set_window_size(390, 844)
        try:
            self.wait.until(lambda d: d.execute_script("return window.innerWidth") <= 400)
            self.assertLessEqual(self.driver.execute_script("return document.documentElement.scrollWidth"),
                                 self.driver.execute_script("return window.innerWidth"))
        finally:
            self.driver.set_window_size(1400, 1100)

    def test_8b_a_tab_open_across_a_restart_says_its_token_is_gone(self):
        import socket
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]

        def start():
            p = subprocess.Popen([PANEL, "--port", str(port), "sim"], stdout=subprocess.PIPE, text=True)
            return p, re.search(r"(http://\S+)", p.stdout.readline()).group(1)
        panel, url = start()
        try:
            self.driver.get(url)
            self.wait.until(lambda d: d.find_element(By.ID, "link").text == "connected")
            panel.terminate()
            panel.wait(timeout=30)
            panel.stdout.close()
            panel, _ = start()  # a new token on the same port
            self.wait.until(lambda d: d.find_element(By.ID, "link").text == "token no longer valid")
            self.assertIn("open the address the panel printed", self.driver.find_element(By.ID, "error").text)
        finally:
            self.back_to_the_panel(panel)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
