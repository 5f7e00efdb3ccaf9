#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Python driver against the built program, windowless, over pyvisa-py: what a lab script
sets is what the chips hold and what the driver reads back, refusals raise, ramps are waited
for.

Usage: driver_test.py SELVAR   (the driver's folder on PYTHONPATH)
"""
import math
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selvar_control import SelvarControl, SelvarError

SELVAR = sys.argv.pop(1) if __name__ == "__main__" else os.environ["SELVAR"]
ENV = {k: v for k, v in os.environ.items()
       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}


class Program:
    """The program serving SCPI on a free loopback port, and drivers connected to it."""

    def __init__(self, *options):
        self.proc = subprocess.Popen([SELVAR, "--no-gui", "--scpi-port", "0", *options],
                                     env=ENV, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE, text=True)
        for line in self.proc.stderr:
            found = re.search(r"serving SCPI on 127\.0\.0\.1 port (\d+)", line)
            if found:
                self.resource = f"TCPIP::127.0.0.1::{found.group(1)}::SOCKET"
                return
        raise RuntimeError("the program did not start serving")

    def driver(self, timeout_ms):
        return SelvarControl(self.resource, timeout=timeout_ms)

    def stop(self):
        self.driver(5000).write("SYSTem:EXIT")
        self.proc.wait(timeout=20)
        self.proc.stderr.close()


class DriverTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = Program()
        cls.selvar = cls.program.driver(2000)
        cls.tmp = tempfile.mkdtemp()

    @classmethod
    def tearDownClass(cls):
        cls.program.stop()

    def setUp(self):
        self.fresh()

    def fresh(self):
        self.selvar.reset()  # the single topology
        self.selvar.topology = "DUAL"

    def test_settings_reach_the_chip_and_read_back(self):
        # (board, property, value set, value read, codes the chip then holds)
        cases = [
            (1, "left_gain", -10.5, -10.5, (171, 0)),
            (1, "left_gain", -math.inf, -math.inf, (0, 0)),
            (1, "right_gain", -95.5, -95.5, (0, 1)),
            (2, "right_gain", 31.5, 31.5, (0, 255)),
            (1, "left_code", 204, 204, (204, 0)),
            (2, "gang_gain", -6.0, -6.0, (180, 180)),
            (1, "gang_gain", -math.inf, -math.inf, (0, 0)),
            (1, "pan_gain", 3.0, 3.0, (0, 6)),
        ]
        for number, name, value, expected, codes in cases:
            with self.subTest(dut=number, name=name, value=value):
                self.fresh()
                board = self.selvar.dut1 if number == 1 else self.selvar.dut2
                setattr(board, name, value)
                self.assertEqual(getattr(board, name), expected)
                self.assertEqual(board.readback, codes)

    def test_common_lines_and_topology_round_trip(self):
        # (property, value, the program's own query, its answer)
        cases = [("mute", True, "MUTE?", "1"), ("zcd", True, "ZCDetect?", "1"),
                 ("mute", False, "MUTE?", "0"), ("topology", "SINGLE", "TOPology?", "SING"),
                 ("topology", "DUAL", "TOPology?", "DUAL")]
        for name, value, query, answer in cases:
            with self.subTest(name=name, value=value):
                setattr(self.selvar, name, value)
                self.assertEqual(getattr(self.selvar, name), value)
                self.assertEqual(self.selvar.ask(query), answer)

    def test_refused_commands_raise_and_change_nothing(self):
        # (what is done, the error the program queued)
        cases = [
            (lambda: setattr(self.selvar.dut1, "left_gain", -10.49), -224),  # off the grid
            (lambda: setattr(self.selvar.dut1, "right_gain", 32), -222),
            (lambda: setattr(self.selvar, "topology", "SINGLE") or self.selvar.dut2.left_gain,
             -221),  # a query the program cannot answer
        ]
        for action, code in cases:
            with self.subTest(code=code):
                self.fresh()
                with self.assertRaises(SelvarError) as raised:
                    action()
                self.assertEqual([c for c, _ in raised.exception.errors], [code])
                self.assertEqual(self.selvar.dut1.readback, (0, 0))

    def test_a_saved_setup_loads_back_and_a_missing_one_raises(self):
        path = os.path.join(self.tmp, "bench.json")
        self.selvar.dut1.left_gain = -20
        self.selvar.save_setup(path)
        self.selvar.dut1.left_gain = -3
        self.selvar.load_setup(path)
        self.assertEqual(self.selvar.dut1.readback, (152, 0))
        with self.assertRaises(SelvarError) as raised:
            self.selvar.load_setup(os.path.join(self.tmp, "none.json"))
        self.assertEqual([c for c, _ in raised.exception.errors], [-256])

    def test_ramp_returns_when_it_has_ended(self):
        # Longer than the connection's 1 s timeout: at least 60 moves x 10 x 2000 port reads.
        selvar = self.program.driver(1000)
        selvar.dut1.left_gain = 0
        selvar.dut1.ramp("LEFT", "DOWN", 0, -30, 0.5, 10)
        self.assertEqual(selvar.dut1.left_gain, -30.0)
        self.assertEqual(selvar.dut1.readback, (132, 0))

    def test_interrupted_ramp_keeps_replies_in_step(self):
        selvar = self.program.driver(1000)
        selvar.dut1.left_gain = 0
        threading.Timer(0.6, os.kill, (os.getpid(), signal.SIGINT)).start()
        with self.assertRaises(KeyboardInterrupt):
            selvar.dut1.ramp("LEFT", "DOWN", 0, -30, 0.5, 10)
        self.assertTrue(selvar.ask("*IDN?").startswith("Orvane,"))
        # The interrupt sent ABORt: the ramp stopped part way instead of running to its end.
        self.assertGreater(selvar.dut1.left_gain, -30.0)


class MeasurementTest(unittest.TestCase):
    """A small measurement over the simulated analog path, as a lab script runs one."""

    def test_measurements_read_the_ideal_gains_and_failures_raise_at_once(self):
        program = Program()
        try:
            selvar = program.driver(60000)
            selvar.topology = "DUAL"
            self.assertEqual(selvar.audio_output, "sim")
            # (measured, ideal: code = 2 x dB + 192)
            cases = [(lambda: selvar.dut1.measure_gain("LEFT", 100), -46.0),
                     (lambda: selvar.dut2.measure_gain("right", 255), 31.5)]
            for measure, ideal in cases:
                with self.subTest(ideal=ideal):
                    self.assertAlmostEqual(measure(), ideal, delta=0.05)
            selvar.dut1.sweep_gain()
            gains = selvar.dut1.fetch_sweep("RIGHT")
            self.assertEqual(len(gains), 256)
            self.assertEqual(gains[0], -math.inf)
            self.assertAlmostEqual(gains[192], 0.0, delta=0.05)
            self.assertAlmostEqual(gains[131], -30.5, delta=0.05)
            self.assertLess(selvar.dut1.measure_thd("LEFT", 192), -60.0)
            # Without a sound card the measurement fails, and says so without the timeout.
            selvar.audio_output = ""
            started = time.monotonic()
            with self.assertRaises(SelvarError) as raised:
                selvar.dut1.measure_gain("LEFT")
            self.assertEqual([code for code, _ in raised.exception.errors], [-241])
            self.assertLess(time.monotonic() - started, 30.0)
        finally:
            program.stop()


class GainLimitTest(unittest.TestCase):
    def test_limit_from_the_command_line_refuses_and_is_lifted(self):
        # Below the panels' initial 0 dB: the start-up must keep within it too.
        program = Program("--gain-limit", "-20")
        try:
            selvar = program.driver(2000)
            self.assertEqual(selvar.gain_limit, -20.0)
            with self.assertRaises(SelvarError) as raised:
                selvar.dut1.left_gain = -19.5
            self.assertEqual([c for c, _ in raised.exception.errors], [-222])
            self.assertEqual(selvar.dut1.readback, (0, 0))
            selvar.gain_limit = None
            self.assertIsNone(selvar.gain_limit)
            selvar.dut1.left_gain = -19.5
            self.assertEqual(selvar.dut1.readback, (153, 0))
        finally:
            program.stop()


class NoChipTest(unittest.TestCase):
    def test_unread_codes_are_none(self):
        program = Program("--sim-chips", "0")
        try:
            self.assertEqual(program.driver(2000).dut1.readback, (None, None))
        finally:
            program.stop()


if __name__ == "__main__":
    unittest.main()
