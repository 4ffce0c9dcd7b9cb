#!/usr/bin/env python3
"""The documents say what works: every relative link of the README and the docs resolves, the README
stays short, every console program command in their code blocks runs as written against the
simulated device (a device path or a remote port taken as the simulated device), and the presets,
legs and scripts their commands name exist.

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


def code_lines(path):
    return [line[4:].split(" #", 1)[0].strip() for line in open(path, encoding="utf-8") if line.startswith("    ")]


def tree_failures(source, path):
    """The code lines that name what the tree must have: presets, legs of tests/run-all, scripts."""
    import json
    presets = json.load(open(os.path.join(source, "CMakePresets.json")))
    names = {p["name"] for kind in ("configurePresets", "buildPresets", "testPresets") for p in presets.get(kind, [])}
    run_all = open(os.path.join(source, "tests", "run-all"), encoding="utf-8").read()
    legs = re.search(r"legs_all=\(([^)]*)\)", run_all).group(1).split()
    failures = []
    for line in code_lines(path):
        for part in re.split(r"&&|;", line):
            words = part.split()
            if not words:
                continue
            if words[0] == "cmake" and "--preset" in words and words[words.index("--preset") + 1] not in names:
                failures.append("no preset %s: %s" % (words[words.index("--preset") + 1], line))
            if words[0] == "tests/run-all" and any(w not in legs for w in words[1:]):
                failures.append("no such leg: %s" % line)
            if re.match(r"(tools|tests)/", words[0]) and not os.access(os.path.join(source, words[0]), os.X_OK):
                failures.append("no program %s: %s" % (words[0], line))
    return failures


def as_simulated(args):
    # A device or a remote port of the document is the simulated device here.
    return ["sim" if re.match(r"(/dev/|rfc2217://|COM\d)", a) else a for a in args]


def main():
    source, program = sys.argv[1], sys.argv[2]
    failures = []
    for path in documents(source):
        for target in broken_links(path):
            failures.append("%s: the link %s leads nowhere" % (os.path.relpath(path, source), target))
    for path in documents(source):
        for failure in tree_failures(source, path):
            failures.append("%s: %s" % (os.path.relpath(path, source), failure))
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
