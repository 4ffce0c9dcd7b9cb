#!/usr/bin/env python3
"""The Python package's units, ranges and source names against the settings catalogue that the
programs use (printed by catalogue_dump): a setting changed in one place and not the other fails.
Usage: catalogue_python_test.py <catalogue_dump> <python package folder>"""
import json
import subprocess
import sys
import unittest

DUMP, PACKAGE = sys.argv[1], sys.argv[2]
sys.argv[1:] = []
sys.path.insert(0, PACKAGE)
from kestravo import RANGES, units  # noqa: E402  (the package folder is known only here)

# Each setting's index and value as the package's RANGES name them (None: a flag, 0 or 1).
KINDS = {
    "oscillator_period": (None, "raw"),
    "pulser_delay": ("pulser", "raw"),
    "pulser_width": ("pulser", "raw"),
    "burst_size": ("burst_pulser", "burst_size"),
    "source_selector": ("config_no", "selector"),
    "switch_trigger_source": ("switch", "selector"),
    "switch_enable_source": ("switch", "selector"),
    "switch_enable_delay": ("switch", "half_ns"),
    "switch_rise_delay": ("switch", "half_ns"),
    "switch_fall_delay": ("switch", "half_ns"),
    "trigger_mapping": ("mapping", "mapping_value"),
    "enable_mapping": ("mapping", "mapping_value"),
    "trigger_mapping_on": (None, None),
    "enable_mapping_on": (None, None),
    "dio_output_source": ("dio", "selector"),
    "dio_direction": ("dio", (0, 2)),  # input, terminated input, output: two bits of RANGES["dio_mask"]
    "controller_config": (None, "controller_config"),
    "device_enable": (None, None),
}
OFFSETS = {"oscillator_period": units.OSCILLATOR_OFFSET, "pulser_delay": units.PULSER_DELAY_OFFSET,
           "pulser_width": units.PULSER_WIDTH_OFFSET}


class CatalogueTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.catalogue = json.loads(subprocess.run([DUMP], check=True, capture_output=True, text=True).stdout)

    def test_every_setting_has_the_same_ranges(self):
        self.assertEqual(sorted(KINDS), sorted(s["name"] for s in self.catalogue["settings"]))
        for s in self.catalogue["settings"]:
            with self.subTest(s["name"]):
                index, value = KINDS[s["name"]]
                self.assertEqual(RANGES[index] if index else (0, 0), (0, s["count"] - 1))
                expected = value if isinstance(value, tuple) else RANGES[value] if value else (0, 1)
                self.assertEqual(expected, (0, s["highest"]))

    def test_times_convert_alike(self):
        for s in self.catalogue["settings"]:
            if s["unit"] != "s":
                continue
            with self.subTest(s["name"]):
                if s["name"] in OFFSETS:
                    self.assertEqual((OFFSETS[s["name"]], units.STEP), (s["offset"], s["step"]))
                    self.assertEqual(units.steps_seconds(7, s["offset"]), (7 + s["offset"]) * s["step"])
                else:
                    self.assertEqual((0, units.SWITCH_DELAY_STEP, units.SWITCH_DELAY_MAX),
                                     (s["offset"], s["step"], s["highest"]))

    def test_source_names(self):
        self.assertEqual(list(units.SOURCE_NAMES), self.catalogue["sources"])


if __name__ == "__main__":
    unittest.main()
