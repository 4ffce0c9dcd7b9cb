"""Fixtures: a simulated device in this process, the programs, the header."""
import os
import pathlib
import shutil

import pytest

import kestravo


@pytest.fixture
def device():
    """A fresh simulated device at 1000000 baud, so that long transfers cost little time."""
    with kestravo.Device(kestravo.sim.port()) as d:
        d.set_baud_rate(1000000)
        yield d


def _program(variable, name):
    found = os.environ.get(variable) or shutil.which(name)
    if not found:
        pytest.skip("%s not found (set %s)" % (name, variable))
    return found


@pytest.fixture
def control_program():
    return _program("KESTRAVO_CONTROL", "COM-KESTRAVO-Control")


@pytest.fixture
def sim_program():
    return _program("KESTRAVO_SIM", "COM-KESTRAVO-Sim")


@pytest.fixture
def header():
    """The text of the installed or source tree's COM-KESTRAVO.h."""
    for candidate in (os.environ.get("KESTRAVO_HEADER"),
                      pathlib.Path(__file__).resolve().parents[2] / "include" / "COM-KESTRAVO.h",
                      "/usr/include/COM-KESTRAVO.h"):
        if candidate and pathlib.Path(candidate).is_file():
            return pathlib.Path(candidate).read_text()
    pytest.skip("COM-KESTRAVO.h not found (set KESTRAVO_HEADER)")
