# SPDX-License-Identifier: GPL-3.0-or-later
"""The program as one PyMeasure instrument: its common lines and settings, and its two boards."""
import contextlib

import pyvisa
from pymeasure.instruments import Instrument
from pymeasure.instruments.validators import strict_discrete_set

from selvar_control.board import SelvarBoard
from selvar_control.replies import (SelvarError, limit_parameter, limit_reply,
                                    parse_error_entry)

# The error queue holds 32 entries and an overflow entry; more than that means the replies are
# out of step, not that there are more errors.
_QUEUE_DEPTH = 33
_ON_OFF = {True: 1, False: 0}
_AUDIO_ENDS = {"OUTPUT": "OUTPut", "INPUT": "INPut"}


def _quoted(text):
    """A file name or device id as a string parameter."""
    text = str(text)
    if '"' in text:
        raise ValueError(f"a name with a double quote cannot be sent: {text!r}")
    return f'"{text}"'


def _device(end, docs):
    command = f"AUDio:DEVice:{end}"
    return Instrument.control(f"{command}?", f"{command} %s", docs, set_process=_quoted,
                              get_process=lambda reply: str(reply).strip('"'),
                              check_set_errors=True)


class SelvarControl(Instrument):
    """Selvar Control, the evaluation program for one or two Selvar volume-control boards,
    driven over its SCPI port.

    ``SelvarControl(resource, **kwargs)``: ``resource`` is a VISA resource name such as
    ``"TCPIP::127.0.0.1::5025::SOCKET"`` (start the program with ``--scpi-port 5025``).
    Lines end with a newline both ways; the pure-Python VISA backend (``visa_library="@py"``)
    and a 10 s timeout are the defaults. Any other keyword goes to PyVISA as usual.

    Every setting is checked: a command the program refuses raises :class:`SelvarError` with
    the errors it queued, and a query it cannot answer (it answers nothing and queues an error)
    raises it once the timeout has passed. The timeout must outlast the program's longest
    answer; a ramp blocks the replies until it ends, so :meth:`SelvarBoard.ramp` and
    :meth:`wait` take a timeout of their own.

    ``dut1`` and ``dut2`` are the two boards (:class:`SelvarBoard`), each with ``left_gain``,
    ``right_gain``, ``gang_gain``, ``pan_gain`` (dB), ``left_code``, ``right_code``,
    ``readback``, ``ramp()`` and the measurements (``measure_gain()``, ``measure_mute()``,
    ``measure_thd()``, ``measure_thdn()``, ``measure_crosstalk()``, ``measure_zcd_click()``,
    ``measure_zcd_timeout()``, ``sweep_gain()``, ``fetch_sweep()``). DUT2 answers in the dual
    topology only. The measurements' sound card: ``audio_output``, ``audio_input``,
    ``audio_dut``, ``audio_devices()``, ``calibrate()``, ``save_calibration()``,
    ``load_calibration()``.
    """

    topology = Instrument.control(
        "TOPology?", "TOPology %s",
        """The board topology: "SINGLE" (one board) or "DUAL" (two boards in a daisy chain).
        Setting it runs the program's topology change, as the entry window's options do.""",
        validator=strict_discrete_set, values={"SINGLE": "SING", "DUAL": "DUAL"},
        map_values=True, check_set_errors=True)

    mute = Instrument.control(
        "MUTE?", "MUTE %d",
        """True while the MUTE line is asserted ("Mute by Pin"). The line is common to both
        boards.""",
        validator=strict_discrete_set, values=_ON_OFF, map_values=True, check_set_errors=True)

    zcd = Instrument.control(
        "ZCDetect?", "ZCDetect %d",
        """True while zero-cross detection is on (the ZCD line). The line is common to both
        boards.""",
        validator=strict_discrete_set, values=_ON_OFF, map_values=True, check_set_errors=True)

    gain_limit = Instrument.control(
        "LIMit:GAIN?", "LIMit:GAIN %s",
        """The highest gain in dB any channel of any chip may be sent, or None for no limit
        (the default). Setting one below a gain a chip holds now is refused (SelvarError).
        Needs a program that has the LIMit:GAIN command; an older one refuses it as an
        undefined header (-113).""",
        set_process=limit_parameter, get_process=limit_reply, check_set_errors=True)

    audio_output = _device("OUTPut", """The measurement's sound card output: a sound
        server sink as ``audio_devices("OUTPUT")`` names it, "sim" for the simulated analog
        path, "" for none. "sim" at either end puts the simulated path at both.""")
    audio_input = _device("INPut", """The measurement's sound card input: a sound server
        source as ``audio_devices("INPUT")`` names it, "sim" for the simulated analog path,
        "" for none.""")
    audio_dut = Instrument.control(
        "AUDio:DUT?", "AUDio:DUT %d",
        """The board a real sound card is cabled to, 1 or 2; measuring the other one is
        refused (-221). The simulated path reaches either.""",
        validator=strict_discrete_set, values=(1, 2), cast=int, check_set_errors=True)

    def __init__(self, resource, name="Selvar Control", **kwargs):
        """Connects to the program at ``resource``; see the class's description."""
        if isinstance(resource, str):
            kwargs.setdefault("visa_library", "@py")
            kwargs.setdefault("read_termination", "\n")
            kwargs.setdefault("write_termination", "\n")
            kwargs.setdefault("timeout", 10000)
        super().__init__(resource, name, includeSCPI=True, **kwargs)
        self._boards = (SelvarBoard(self, 1), SelvarBoard(self, 2))

    @property
    def dut1(self):
        """The first board, DUT1 (a :class:`SelvarBoard`)."""
        return self._boards[0]

    @property
    def dut2(self):
        """The second board, DUT2 (a :class:`SelvarBoard`); answers in the dual topology
        only."""
        return self._boards[1]

    def abort(self):
        """Stops the job that runs (a ramp), at the end of the move in progress. Only writes,
        so it may be sent while a ramp started with ``wait=False`` runs. Needs a program that
        has the ABORt command; an older one queues an undefined header (-113), raised by the
        next checked command, and the ramp runs on."""
        self.write("ABORt")

    def wait(self, timeout=None):
        """Waits until every command sent so far has run (``*OPC?``), such as a ramp started
        with ``wait=False``. ``timeout`` in seconds, for this call only; None: the
        resource's. Ctrl+C while it waits sends ABORt and waits for the end."""
        self.write("*OPC?")
        self._completion(timeout)

    def _completion(self, timeout):
        """Reads the reply of an ``*OPC?`` already sent."""
        with self._timeout(timeout):
            try:
                self.read()
            except KeyboardInterrupt:
                # The reply is still due: take it, so the next query reads its own.
                self.abort()
                self.read()
                raise

    def audio_devices(self, end="OUTPUT"):
        """The ids of the sound card ends the program can use, "OUTPUT" or "INPUT"."""
        end = _AUDIO_ENDS[strict_discrete_set(str(end).upper(), _AUDIO_ENDS)]
        reply = self.ask(f"AUDio:DEVice:LIST? {end}").strip()
        return [device.strip('"') for device in reply.split(",")] if reply else []

    def calibrate(self, timeout=None):
        """Measures the sound card's own path with its output cabled straight to its input
        (the loop-through calibration); it applies to every later result at once. Returns
        when it has ended, waiting up to ``timeout`` seconds (None: the resource's)."""
        self.write("AUDio:CALibrate;*OPC?")
        self._completion(timeout)
        self.check_errors()

    def save_calibration(self, path):
        """Saves the calibration in use to ``path`` on the program's machine."""
        self.write(f"MMEMory:STORe:CALibration {_quoted(path)}")
        self.check_errors()

    def load_calibration(self, path):
        """Loads and applies a calibration saved on the program's machine; a missing file
        (-256) or one that is not a calibration (-257) raises :class:`SelvarError`."""
        self.write(f"MMEMory:LOAD:CALibration {_quoted(path)}")
        self.check_errors()

    def save_setup(self, path):
        """Saves the setup ("Save Setup...") to ``path`` on the program's machine: the port,
        the topology, both panels' codes, ramp fields and targets, MUTE, ZCD and the sound
        card's devices and calibration file."""
        self.write(f"MMEMory:STORe:STATe {_quoted(path)}")
        self.check_errors()

    def load_setup(self, path):
        """Loads a saved setup and applies it as the remote commands would; a missing file
        (-256) or one that is not a sound setup (-257) raises :class:`SelvarError` and changes
        nothing."""
        self.write(f"MMEMory:LOAD:STATe {_quoted(path)}")
        self.check_errors()

    def check_errors(self):
        """Reads the program's error queue empty; raises :class:`SelvarError` with what it
        held, if anything. Returns an empty list otherwise."""
        errors = self._drain_errors()
        if errors:
            raise SelvarError(errors)
        return errors

    def ask(self, command):
        """Writes a query and returns its reply (see :meth:`values` for a failing query)."""
        return self._answered(command, lambda: super(SelvarControl, self).ask(command))

    def values(self, command, **kwargs):
        """Writes a query and returns its reply split into values. A query the program cannot
        answer gives no reply; after the timeout the error it queued is raised as
        :class:`SelvarError`."""
        return self._answered(command,
                              lambda: super(SelvarControl, self).values(command, **kwargs))

    def _answered(self, command, query):
        try:
            return query()
        except pyvisa.errors.VisaIOError as exc:
            if exc.error_code != pyvisa.constants.StatusCode.error_timeout:
                raise
            errors = self._drain_errors()
            if errors:
                raise SelvarError(errors, command) from exc
            raise

    def _drain_errors(self):
        errors = []
        for _ in range(_QUEUE_DEPTH):
            code, text = parse_error_entry(self.adapter.ask("SYSTem:ERRor?"))
            if code == 0:
                break
            errors.append((code, text))
        return errors

    @contextlib.contextmanager
    def _timeout(self, seconds):
        """The resource's timeout set to ``seconds`` for the calls inside, then put back."""
        connection = self.adapter.connection
        kept = connection.timeout
        if seconds is not None:
            connection.timeout = seconds * 1000.0
        try:
            yield
        finally:
            connection.timeout = kept

    def _resource_timeout(self):
        """The resource's timeout in seconds (None: no limit)."""
        timeout = self.adapter.connection.timeout
        return None if timeout in (None, float("inf")) else timeout / 1000.0
