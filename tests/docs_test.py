#!/usr/bin/env python3
"""The documents say what works: every relative link of the README and the docs resolves, the README
stays short, and every console program command in their code blocks runs as written against the
simulated device (a device path or a remote port taken as the simulated device).

Usage: docs_test.py SOURCE_DIR CONTROL_PROGRAM
"""
import os
import re
import shlex
import subprocess
import sys
import tempfile

README_MAX_LINES = 160


def documents(source):
    found = [os.path.join(source, "README.md"), os.path.join(source, "CHANGELOG.md"),
             os.path.join(source, "bench", "README.md"), os.path.join(source, "python", "README.md")]
    docs = os.path.join(source, "docs")
    found += [os.path.join(docs, name) for name in sorted(os.listdir(docs)) if name.endswith(".md")]
    return [path for path in found if os.path.isfile(path)]


def broken_links(path):
    text = open(path, encoding="utf-8").read()
    folder = os.path.dirname(path)
    broken = []
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target) or target.startswith("#"):
            continue
        if not os.path.exists(os.path.join(folder, target.split("#")[0])):
            broken.append(target)
    return broken


def commands(path):
    """The console program's command lines in the code blocks (indented four spaces) of a document."""
    found = []
    for line in open(path, encoding="utf-8"):
        if not line.startswith("    "):
            continue
        words = shlex.split(line.split("#", 1)[0], posix=True) if "COM-KESTRAVO-Control" in line else []
        if words and words[0].endswith("COM-KESTRAVO-Control") and "<" not in line and "..." not in line:
            found.append(words[1:])
    return found


def as_simulated(args):
    # A device or a remote port of the document is the simulated device here.
    return ["sim" if re.match(r"(/dev/|rfc2217://|COM\d)", a) else a for a in args]


def main():
    source, program = sys.argv[1], sys.argv[2]
    failures = []
    for path in documents(source):
        for target in broken_links(path):
            failures.append("%s: the link %s leads nowhere" % (os.path.relpath(path, source), target))
    readme = open(os.path.join(source, "README.md"), encoding="utf-8").read().count("\n")
    if readme > README_MAX_LINES:
        failures.append("README.md has %d lines (at most %d)" % (readme, README_MAX_LINES))
    ran = 0
    with tempfile.TemporaryDirectory() as work:
        for path in documents(source):
            for args in commands(path):
                run = subprocess.run([program] + as_simulated(args), cwd=work, stdin=subprocess.DEVNULL,
                                     capture_output=True, text=True, timeout=60,
                                     env=dict(os.environ, KESTRAVO_COM1="sim"))
                ran += 1
                if run.returncode != 0 or "Error parsing argument" in run.stdout:
                    failures.append("%s: %s gives status %d: %s" % (os.path.relpath(path, source), " ".join(args),
                                                                   run.returncode, (run.stdout + run.stderr)[-300:]))
    for failure in failures:
        print(failure)
    print("%d documents, %d commands run, %d failures" % (len(documents(source)), ran, len(failures)))
    return 1 if failures or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
