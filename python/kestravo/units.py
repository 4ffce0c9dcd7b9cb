"""The device's raw counts in SI units, converted as the console program converts them.

Times count in 10 ns steps from an offset of the device's: the oscillator's period is
(raw + 2) x 10 ns, a pulser's delay (raw + 3) x 10 ns and its width (raw + 2) x 10 ns. The switch
delays count half nanoseconds. The raw values are 32-bit (switch delays 4-bit); the conversions back
round to the nearest step and raise ValueError outside the range.
"""

import math
from typing import Tuple

STEP = 1e-8  # seconds per count
OSCILLATOR_OFFSET = 2
PULSER_DELAY_OFFSET = 3
PULSER_WIDTH_OFFSET = 2
SWITCH_DELAY_STEP = 0.5e-9  # seconds per count of a switch delay
SWITCH_DELAY_MAX = 15

# The signal sources of a source selector (bits 0 to 4), by index, as the console program names them.
SOURCE_NAMES: Tuple[str, ...] = (
    "logic 0", "software trigger", "oscillator 0", "digital input 1", "digital input 2",
    "digital input 3", "digital input 4", "digital input 5", "digital input 6", "digital input 7",
    "pulser 1 output", "pulser 2 output", "pulser 3 output", "pulser 4 output", "pulser 1 run",
    "pulser 2 run", "pulser 3 run", "pulser 4 run", "timebase 2 MHz", "timebase 4 MHz",
)


def steps_seconds(raw: int, offset: int) -> float:
    """(raw + offset) x 10 ns, in seconds."""
    return (raw + offset) * STEP


def seconds_steps(seconds: float, offset: int) -> int:
    """The raw count whose time is nearest to seconds (ValueError when no 32-bit count is, or for
    an infinity or NaN)."""
    _finite(seconds)
    raw = int(round(seconds / STEP)) - offset
    if not 0 <= raw <= 0xFFFFFFFF:
        raise ValueError("%g s is outside the range of the device (%g s to %g s)"
                         % (seconds, offset * STEP, (0xFFFFFFFF + offset) * STEP))
    return raw


def oscillator_seconds(raw: int) -> float:
    """The oscillator period of a raw count, in seconds."""
    return steps_seconds(raw, OSCILLATOR_OFFSET)


def oscillator_hertz(raw: int) -> float:
    """The oscillator frequency of a raw count, in hertz."""
    return 1.0 / oscillator_seconds(raw)


def pulser_delay_seconds(raw: int) -> float:
    """A pulser delay's raw count in seconds."""
    return steps_seconds(raw, PULSER_DELAY_OFFSET)


def pulser_width_seconds(raw: int) -> float:
    """A pulser width's raw count in seconds."""
    return steps_seconds(raw, PULSER_WIDTH_OFFSET)


def switch_delay_seconds(raw: int) -> float:
    """A switch delay's count of 0.5 ns in seconds."""
    return raw * 0.5 / 1e9  # the console's half nanoseconds, in seconds


def switch_delay_steps(seconds: float) -> int:
    """The count of 0.5 ns nearest to seconds (ValueError outside 0 to 7.5 ns)."""
    _finite(seconds)
    raw = int(round(seconds / SWITCH_DELAY_STEP))
    if not 0 <= raw <= SWITCH_DELAY_MAX:
        raise ValueError("%g s is outside the range of a switch delay (0 to 7.5 ns)" % seconds)
    return raw


def source_name(selector: int) -> str:
    """The console program's text for a source selector: "negated " when bit 5 is set, then the
    name of the source in bits 0 to 4 ("undefined" past the known ones)."""
    index = selector & 0x1F
    name = SOURCE_NAMES[index] if index < len(SOURCE_NAMES) else "undefined"
    return ("negated " if selector & 0x20 else "") + name


def source_selector(name: str) -> int:
    """The selector the console program names name (source_name's text, letter case aside):
    "negated " and a source's name; ValueError for another text."""
    text = " ".join(name.lower().split())
    negated = text.startswith("negated ")
    if negated:
        text = text[len("negated "):]
    for index, known in enumerate(SOURCE_NAMES):
        if text == known:
            return index | (0x20 if negated else 0)
    raise ValueError("no source is named %r (the names: %s, each may start with \"negated \")"
                     % (name, ", ".join(SOURCE_NAMES)))


def _finite(seconds: float) -> None:
    if not math.isfinite(seconds):
        raise ValueError("%r is not a finite number of seconds" % (seconds,))
