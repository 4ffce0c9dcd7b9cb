#!/usr/bin/env python3
"""On a terminal that cannot move its cursor (TERM=dumb, or no TERM) the console program writes what
it writes to a pipe: no escape sequence, each pass of a continuous display a line of its own. With
TERM=xterm on the same pseudo-terminal the display draws in place (the check that the test sees a
terminal at all), and its frame comes with the first values read, never with placeholders of zeros.

Usage: dumb_terminal_test.py COM-KESTRAVO-Control
"""
import os
import pty
import select
import sys
import time


def run(program, term):
    """The bytes the program writes on a pseudo-terminal running -H until two passes are out, then Esc."""
    env = {k: v for k, v in os.environ.items() if k != "TERM"}
    if term is not None:
        env["TERM"] = term
    env["KESTRAVO_COM1"] = "sim"
    pid, master = pty.fork()
    if pid == 0:
        os.execve(program, [program, "1", "-H", "-T"], env)
    out = b""
    deadline = time.monotonic() + 30
    sent = 0.0
    while time.monotonic() < deadline:
        ready, _, _ = select.select([master], [], [], 0.2)
        if ready:
            try:
                chunk = os.read(master, 4096)
            except OSError:
                break
            if not chunk:
                break
            out += chunk
        # Esc once two passes are out, again every half second: keys typed while a command starts
        # are dropped, as at a terminal.
        if out.count(b"12V") >= 2 and time.monotonic() - sent >= 0.5:
            os.write(master, b"\x1b")
            sent = time.monotonic()
    # The pseudo-terminal's end comes as the program closes it, a moment before it has exited.
    deadline = time.monotonic() + 10
    while os.waitpid(pid, os.WNOHANG) == (0, 0):
        if time.monotonic() > deadline:
            os.kill(pid, 9)  # it did not end by itself: the test fails on what it wrote
            os.waitpid(pid, 0)
            out += b"\n(killed: it did not end after Esc)"
            break
        time.sleep(0.05)
    os.close(master)
    return out


def main():
    program = sys.argv[1]
    failures = []
    for term in ("dumb", None):
        out = run(program, term)
        if b"(killed" in out:
            failures.append("TERM=%s: did not end after Esc" % term)
        if b"\x1b" in out:
            failures.append("TERM=%s: escape sequences: %r" % (term, out[:200]))
        if out.count(b"\n") < 3:
            failures.append("TERM=%s: not a line per pass: %r" % (term, out[:200]))
    xterm = run(program, "xterm")
    if b"\x1b[" not in xterm:
        failures.append("TERM=xterm: no cursor sequence, so the test does not see a terminal")
    # The simulated supplies are near 12 V, 5 V and 3.3 V: a zero is a placeholder that was shown.
    if b"0.000V" in xterm or b"12V: 12." not in xterm:
        failures.append("TERM=xterm: the frame was not drawn with its first values: %r" % xterm[:300])
    for failure in failures:
        print(failure)
    print("dumb terminal: %d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
