#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The example measurement from the shell: the windowless program runs the sweep script on the
simulated board with a gain error injected at a few codes, and its standard output is the
measured gains, Left then Right, one value per code, that match the ideal gain plus the error."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from program_checks import ENV, check, finish  # noqa: E402

PROGRAM, SCRIPT = sys.argv[1], sys.argv[2]

# code: (left_db, right_db) added to the ideal gain, as --sim-analog errors= takes it.
ERRORS = {100: (0.3, -0.2), 150: (-0.45, 0.25), 255: (0.1, -0.1), 20: (1.0, -1.0)}


def ideal(code):
    """code = 2 x dB + 192."""
    return (code - 192) / 2.0


work = tempfile.mkdtemp(prefix="sweep-measure-")
errors = os.path.join(work, "errors.csv")
with open(errors, "w") as f:
    f.writelines("%d,%s,%s\n" % (code, left, right) for code, (left, right) in ERRORS.items())

run = subprocess.run(
    [PROGRAM, "--no-gui", "--sim-analog", "errors=" + errors, "--script", SCRIPT],
    env=ENV, capture_output=True, text=True, timeout=100)
check(run.returncode == 0, "the script ran without error: %d %s" % (run.returncode, run.stderr))
rows = run.stdout.splitlines()
check(len(rows) == 2, "two rows, Left and Right: %r" % rows[:3])
for channel, row in enumerate(rows[:2]):
    values = row.split(",")
    check(len(values) == 256, "256 codes in row %d: %d" % (channel, len(values)))
    check(values[0] == "-9.9E37", "code 0 reads minus infinity: %s" % values[0])
    for code, text in enumerate(values[1:256], start=1):
        wanted = ideal(code) + ERRORS.get(code, (0.0, 0.0))[channel]
        # The output lies at or above -80 dBFS from code 60 up; below it the floor widens.
        tolerance = 0.05 if code >= 60 else 0.3
        check(len(text.split(".")[-1]) >= 3, "three decimals at code %d: %s" % (code, text))
        check(abs(float(text) - wanted) <= tolerance,
              "row %d code %d: %s, wanted %.3f" % (channel, code, text, wanted))
finish(work)
