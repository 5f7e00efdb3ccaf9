# SPDX-License-Identifier: GPL-3.0-or-later
"""One demonstration board of the program, DUT1 or DUT2: its gain panel's commands."""
import math

from pymeasure.instruments import Instrument
from pymeasure.instruments.validators import strict_discrete_set

from selvar_control.measurements import BoardMeasurements
from selvar_control.replies import code_reply, db_parameter, db_reply

_TARGETS = ("LEFT", "RIGHT", "GANG")
_DIRECTIONS = ("UP", "DOWN")
_STEPS = (0.5, 1.0, 1.5, 2.0, 2.5, 3.0)
_DELAYS = (0, 1, 2, 5, 10, 20, 50)
_LOWEST_DB, _HIGHEST_DB = -96.0, 31.5

# A ramp waits delay x 2000 port reads per 0.5 dB of travel, and each move sends a few
# 101-access frames. Its timeout allows 50 us an access on top of the resource's own timeout:
# a parallel port takes about 1 us, and the simulated board on a loaded 2-core machine was seen
# to take over 12.
_WAIT_ACCESSES_PER_DELAY = 2000
_MOVE_ACCESSES = 1000
_SECONDS_PER_ACCESS = 50e-6


def _gain(command, docs):
    return Instrument.control(f"{command}?", f"{command} %s", docs, set_process=db_parameter,
                              get_process=db_reply, check_set_errors=True)


def _code(command, docs):
    return Instrument.control(f"{command}?", f"{command} %d", docs,
                              validator=strict_discrete_set, values=range(256), cast=int,
                              check_set_errors=True)


def _ramp_stop(value):
    value = float(value)
    if not _LOWEST_DB <= value <= _HIGHEST_DB or (value * 2) % 1:
        raise ValueError(f"a ramp stop is -96.0 to 31.5 dB on the 0.5 dB grid, not {value}")
    return value


class SelvarBoard(BoardMeasurements):
    """One board, DUT1 or DUT2, as its gain panel and its measurements: reach it as
    ``SelvarControl.dut1`` or ``.dut2``. Every gain setting is one operator movement of that slider: the chips are sent
    their words and the coupled sliders follow (Left and Right move Gang and Pan, and back).
    Gains are in dB on the 0.5 dB grid (code = 2 x dB + 192); a value off the grid or out of
    range is refused with :class:`SelvarError`, never rounded. DUT2 answers in the dual
    topology only. The measurements (``measure_gain()``, ``sweep_gain()`` and the others) are
    described under :class:`BoardMeasurements`."""

    left_gain = _gain("GAIN:LEFT", """The Left channel's gain in dB, -96.0 to +31.5;
        -inf is code 0 (mute), and -96 sets it too.""")
    right_gain = _gain("GAIN:RIGHt", """The Right channel's gain in dB, -96.0 to +31.5;
        -inf is code 0 (mute), and -96 sets it too.""")
    gang_gain = _gain("GAIN:GANG", """The Gang slider in dB, the overall level of both
        channels; -inf at its bottom. Moving it moves Left and Right together.""")
    pan_gain = _gain("GAIN:PAN", """The Pan slider in dB: Right minus Left, -127.5 to
        +127.5. Moving it moves Left and Right apart.""")
    left_code = _code("CODE:LEFT", """The Left channel's gain code, 0 to 255 (0 is mute,
        192 is 0 dB).""")
    right_code = _code("CODE:RIGHt", """The Right channel's gain code, 0 to 255 (0 is mute,
        192 is 0 dB).""")
    readback = Instrument.measurement(
        "READback?",
        """The (left, right) gain codes the chip itself holds, read back over the bus (the
        panel's "Interrogate"): None for a code that could not be read (the panel shows
        "XXh": no cable, no chip, or a chain of the wrong length).""",
        get_process=lambda codes: tuple(code_reply(code) for code in codes))

    def __init__(self, instrument, number):
        self.instrument = instrument
        self.number = number

    def __repr__(self):
        return f"<SelvarBoard DUT{self.number}>"

    def write(self, command):
        """Writes one of this board's commands (``GAIN:LEFT -10`` goes as
        ``DUT<n>:GAIN:LEFT -10``)."""
        self.instrument.write(self._path(command))

    def values(self, command, **kwargs):
        """Queries one of this board's commands; see :meth:`SelvarControl.values`."""
        return self.instrument.values(self._path(command), **kwargs)

    def check_errors(self):
        """Raises :class:`SelvarError` if the program queued errors; see
        :meth:`SelvarControl.check_errors`."""
        return self.instrument.check_errors()

    def ramp(self, target, direction, top, bottom, step, delay, timeout=None, wait=True):
        """Ramps a slider step by step from where it stands to a stop, as the panel's "Ramp Up"
        or "Ramp Down" with these fields.

        ``target``: "LEFT", "RIGHT" or "GANG". ``direction``: "UP" (to ``top``) or "DOWN" (to
        ``bottom``); the program swaps the stops if ``top`` is below ``bottom``. ``top``,
        ``bottom``: dB, -96.0 to 31.5 on the 0.5 dB grid. ``step``: dB per move, 0.5 to 3.0 in
        0.5 steps. ``delay``: 0, 1, 2, 5, 10, 20 or 50; the ramp waits delay x 2000 port reads
        (about delay x 2 ms on a parallel port) per 0.5 dB of travel. Other values raise
        ValueError rather than let the program replace them.

        The program answers nothing else on this connection until the ramp ends. With
        ``wait`` (the default) this returns when it has ended, waiting up to ``timeout``
        seconds; None allows the resource's timeout plus a bound from the travel and the
        delay. With ``wait=False`` it returns at once; then :meth:`SelvarControl.wait` waits
        for the end and :meth:`SelvarControl.abort` stops it. Ctrl+C while waiting sends
        ABORt (a program that has it stops the ramp) and waits for the end.
        """
        target = strict_discrete_set(str(target).upper(), _TARGETS)
        direction = strict_discrete_set(str(direction).upper(), _DIRECTIONS)
        step = strict_discrete_set(step, _STEPS)
        delay = strict_discrete_set(delay, _DELAYS)
        top, bottom = _ramp_stop(top), _ramp_stop(bottom)
        if timeout is None and wait:
            stop = max(top, bottom) if direction == "UP" else min(top, bottom)
            timeout = self._ramp_timeout(getattr(self, f"{target.lower()}_gain"), stop, delay)
        commands = [f"RAMP:TOP {top:.1f}", f"RAMP:BOTTom {bottom:.1f}", f"RAMP:STEP {step:.1f}",
                    f"RAMP:DELay {int(delay)}", f"RAMP:TARGet {target}", f"RAMP:{direction}"]
        line = ";:".join(self._path(command) for command in commands)
        if not wait:
            self.instrument.write(line)
            return
        self.instrument.write(line + ";*OPC?")  # answered when the ramp has ended
        self.instrument._completion(timeout)
        self.check_errors()

    def _ramp_timeout(self, start, stop, delay):
        resource_timeout = self.instrument._resource_timeout()
        if resource_timeout is None:
            return None  # the resource waits for ever, and so does the ramp
        start = max(start, _LOWEST_DB)  # -inf: code 0
        half_db_moves = math.ceil(abs(stop - start) * 2)
        accesses = half_db_moves * (delay * _WAIT_ACCESSES_PER_DELAY + _MOVE_ACCESSES)
        return resource_timeout + accesses * _SECONDS_PER_ACCESS

    def _path(self, command):
        return f"DUT{self.number}:{command}"
