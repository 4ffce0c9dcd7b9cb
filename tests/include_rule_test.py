#!/usr/bin/env python3
"""The include rule of the tree, checked over every source file's quoted includes.

The library: each folder uses only itself and the folders before it in LIBRARY (the public header
is "COM-KESTRAVO.h" and open to all).
The shared device model (model/): itself, the public header and platform/; it is what every
program stands on.
The console program: the root (entry and tables) uses its families and common/; a family uses
itself and common/; common/ uses only itself; all of them may use the public header, model/ and
platform/, and none reaches into the library's own folders.
The front panel (panel/): itself, model/, the public header and platform/; nothing of the console
program. The Tango device server (tango/) likewise: itself, model/, the public header and
platform/, nothing of the console program or the panel. The simulator's program (sim/sim_main.cpp, COM-KESTRAVO-Sim) is a program too: it may
also use model/, which the simulated device itself (the rest of sim/) may not.
Prints each include that breaks the rule and exits 1; exits 0 when there is none.
"""
import pathlib
import re
import sys

LIBRARY = ["include", "platform", "ports", "serial", "link", "device", "sim"]
FAMILIES = {"settings", "config", "diagnostics", "monitor"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def place(path):
    """The folder a file or an included name belongs to: a library folder, 'control' (the root),
    'control/<family>', 'control/common', 'include' for the public header, or None."""
    parts = pathlib.PurePosixPath(path).parts
    if not parts:
        return None
    if len(parts) == 1:
        return "include" if parts[0].startswith("COM-KESTRAVO") else None
    if parts[0] == "control":
        return "control" if len(parts) == 2 else "control/" + parts[1]
    if parts[0] in ("panel", "model", "tango"):
        return parts[0]
    return parts[0] if parts[0] in LIBRARY else None


def allowed(src, dst):
    if dst is None or src == dst:
        return True
    if src in LIBRARY:
        return dst in LIBRARY and LIBRARY.index(dst) <= LIBRARY.index(src)
    # The model and the programs: the public header and the operating-system services; the
    # programs also the model.
    if dst in ("include", "platform"):
        return True
    if src == "model":
        return False
    if dst == "model":
        return True
    if src in ("panel", "tango"):
        return False
    if src == "control":
        return dst.startswith("control/")
    if src == "control/common":
        return False
    return dst == "control/common"  # a family


# The program entry files that live in a library folder: programs, so the model is theirs too.
PROGRAM_FILES = {"sim/sim_main.cpp"}


def violations(root):
    found = []
    for folder in LIBRARY + ["model", "control", "panel", "tango"]:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".c"):
                continue
            rel = path.relative_to(root).as_posix()
            src = place(rel)
            if src is None or (src.startswith("control/") and src[8:] not in FAMILIES | {"common"}):
                found.append(f"{rel}: a folder the rule does not know")
                continue
            for name in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                dst = place(name)
                if rel in PROGRAM_FILES and dst == "model":
                    continue
                if not allowed(src, dst):
                    found.append(f"{rel}: includes {name}")
    return found


if __name__ == "__main__":
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    bad = violations(root)
    for line in bad:
        print(line)
    sys.exit(1 if bad else 0)
