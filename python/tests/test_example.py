"""The housekeeping example logs rows a spreadsheet reads."""
import csv
import pathlib
import subprocess
import sys

import pytest

EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "python" / "housekeeping_csv.py"


@pytest.mark.skipif(not EXAMPLE.is_file(), reason="the source tree's examples are not here")
def test_housekeeping_to_csv(tmp_path):
    out = tmp_path / "hk.csv"
    run = subprocess.run([sys.executable, str(EXAMPLE), "sim", str(out), "--interval", "0", "--count", "3"],
                         capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stderr
    assert run.stdout == "3 rows written to %s\n" % out
    rows = list(csv.DictReader(out.open()))
    assert len(rows) == 3 and 11 < float(rows[0]["volt_12v"]) < 13 and rows[2]["main_state"] == "0000"
    failed = subprocess.run([sys.executable, str(EXAMPLE), str(tmp_path / "ttyUSB7"), str(out)],
                            capture_output=True, text=True, timeout=60)
    assert failed.returncode == 1 and "Error opening the port" in failed.stderr
