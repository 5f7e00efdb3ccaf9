# SPDX-License-Identifier: GPL-3.0-or-later
"""The closed-loop measurements of one board, through the program's sound card."""
import math

from pymeasure.instruments.validators import strict_discrete_set

from selvar_control.replies import NEGATIVE_INFINITY_REPLY, SelvarError

_CHANNELS = ("LEFT", "RIGHT")
_MUTE_BY = ("PIN", "CODE")
# SCPI's not-a-number: what a fetched code that was not measured, or that the floor limits,
# reads as.
NOT_A_NUMBER_REPLY = 9.91e37


def measured_value(value):
    """A measured value: nan where not measured (the noise hid it), -inf for code 0's gain."""
    value = float(value)
    if value >= NOT_A_NUMBER_REPLY:
        return math.nan
    return -math.inf if value <= NEGATIVE_INFINITY_REPLY else value


class BoardMeasurements:
    """The measurements of a :class:`SelvarBoard`. Each runs as the program's job, playing a
    test signal through the sound card into the board and capturing its output; it puts back
    the codes, MUTE and ZCD it found. ``timeout`` (seconds) bounds one call; None: the
    resource's timeout, which must outlast the measurement (a sweep of all 256 codes takes
    about a minute with a real sound card). A measurement that fails (no sound card: -241, the
    card lost: -240, the card cabled to the other board: -221, stopped: -200) raises
    :class:`SelvarError` at once."""

    def measure_gain(self, channel, code=None, timeout=None):
        """The channel's gain in dB (output minus input level, negative when attenuating) at
        ``code`` (0 to 255), or at the code it holds when None; nan when the noise hid it."""
        return self._measured(f"MEASure:GAIN? {self._target(channel, code)}", timeout)[0]

    def measure_thd(self, channel, code=None, timeout=None):
        """The channel's THD at 1 kHz in dB relative to the fundamental (negative)."""
        return self._measured(f"MEASure:THD? {self._target(channel, code)}", timeout)[0]

    def measure_thdn(self, channel, code=None, timeout=None):
        """The channel's THD+N at 1 kHz in dB relative to the fundamental (negative)."""
        return self._measured(f"MEASure:THDN? {self._target(channel, code)}", timeout)[0]

    def measure_mute(self, by="PIN", timeout=None):
        """The mute depth ``(db, floor_limited)``: the attenuation in dB (positive) by the
        MUTE line ("PIN") or by code 0 ("CODE"); floor_limited is True when the output lay
        below what the sound card can show, so the depth is at least ``db``."""
        by = strict_discrete_set(str(by).upper(), _MUTE_BY)
        db, floor = self._measured(f"MEASure:MUTE? {by}", timeout)
        return db, bool(floor)

    def measure_crosstalk(self, channel, timeout=None):
        """The crosstalk into ``channel`` from the other one, in dB (negative)."""
        channel = strict_discrete_set(str(channel).upper(), _CHANNELS)
        return self._measured(f"MEASure:XTALk? {channel}", timeout)[0]

    def measure_zcd_click(self, timeout=None):
        """The click energy of gain changes ``(off_db, on_db)``: the medians with zero-cross
        detection off and on."""
        return tuple(self._measured("MEASure:ZCD:CLICk?", timeout))

    def measure_zcd_timeout(self, timeout=None):
        """How long a gain change waits for a zero crossing at most, in milliseconds."""
        return self._measured("MEASure:ZCD:TIMeout?", timeout)[0]

    def sweep_gain(self, timeout=None, wait=True):
        """Measures the gain of every code, both channels at once; read it with
        :meth:`fetch_sweep`. With ``wait`` it returns when the sweep has ended; else at once,
        and :meth:`SelvarControl.wait` waits for it, :meth:`SelvarControl.abort` stops it."""
        command = self._path("SWEep:GAIN")
        if not wait:
            self.instrument.write(command)
            return
        self.instrument.write(command + ";*OPC?")
        self.instrument._completion(timeout)
        self.check_errors()

    def fetch_sweep(self, channel):
        """The last sweep's gains of ``channel``, a list indexed by code: dB, -inf for code 0,
        nan for a code not measured or below the floor."""
        channel = strict_discrete_set(str(channel).upper(), _CHANNELS)
        values = self.values(f"SWEep:GAIN:FETCh? {channel}")
        return [measured_value(value) for value in values]

    def _target(self, channel, code):
        channel = strict_discrete_set(str(channel).upper(), _CHANNELS)
        if code is None:
            return channel
        return f"{channel},{strict_discrete_set(int(code), range(256))}"

    def _measured(self, query, timeout):
        # A measurement that fails answers nothing; *OPC? after it answers in any case, so a
        # failure is known at once instead of after the timeout.
        with self.instrument._timeout(timeout):
            reply = self.instrument.ask(self._path(query) + ";*OPC?").split(";")
        if len(reply) < 2:
            self.check_errors()
            raise SelvarError([], query)
        return [measured_value(value) for value in reply[0].split(",")]
