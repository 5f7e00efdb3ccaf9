# SPDX-License-Identifier: GPL-3.0-or-later
"""How the program's replies and parameters read: decibels, -Inf, error queue entries."""
import math
import re

# The program answers a gain of code 0 (-Inf) with SCPI's negative infinity.
NEGATIVE_INFINITY_REPLY = -9.9e37

_ERROR_ENTRY = re.compile(r'^([+-]?\d+),"(.*)"$')


class SelvarError(Exception):
    """The program refused a command: it queued these errors, each an (int, str) pair as
    ``SYSTem:ERRor?`` answers them, the detail after a semicolon, such as
    (-224, "Illegal parameter value;-10.49 dB is not on the 0.5 dB grid")."""

    def __init__(self, errors, command=None):
        self.errors = list(errors)
        self.command = command
        listed = "; ".join(f'{code},"{text}"' for code, text in self.errors)
        super().__init__(f"{command}: {listed}" if command else listed)


def parse_error_entry(reply):
    """(code, text) of one ``SYSTem:ERRor?`` reply; ValueError for anything else."""
    found = _ERROR_ENTRY.match(reply.strip())
    if not found:
        raise ValueError(f"not an error queue entry: {reply!r}")
    return int(found.group(1)), found.group(2)


def db_parameter(value):
    """A gain in dB as the program takes it: -inf is sent as -INF (code 0). The value goes as it
    is, never rounded: the program refuses one off the 0.5 dB grid rather than round it."""
    value = float(value)
    if math.isnan(value):
        raise ValueError("a gain is a number of dB, not NaN")
    if value == -math.inf:
        return "-INF"
    return repr(value)


def db_reply(value):
    """A gain reply in dB, -inf for code 0."""
    value = float(value)
    return -math.inf if value <= NEGATIVE_INFINITY_REPLY else value


def limit_parameter(value):
    """A gain limit in dB, or None for no limit (OFF)."""
    return "OFF" if value is None else db_parameter(value)


def limit_reply(value):
    """The gain limit in dB, or None when there is none."""
    return None if str(value).strip().upper() == "OFF" else float(value)


def code_reply(value):
    """A read-back code, None for a chip that did not answer (-1, shown as "XXh")."""
    code = int(value)
    return None if code < 0 else code
