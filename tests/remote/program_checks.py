# SPDX-License-Identifier: GPL-3.0-or-later
"""What the tests that run the built program share: its environment without a display, the
failures found so far, the wait for the port it serves on, and the ending of a run."""
import os
import re
import shutil
import sys
import time

# The program must need no display: none is given.
ENV = {k: v for k, v in os.environ.items()
       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what, file=sys.stderr)


def serving_port(proc, err, seconds=10):
    """The port the run says it serves on, once it says so; None if it ends or stays silent."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and proc.poll() is None:
        err.seek(0)
        found = re.search(r"serving SCPI on 127\.0\.0\.1 port (\d+)", err.read())
        if found:
            return int(found.group(1))
        time.sleep(0.02)
    return None


def finish(work):
    """Ends the test: its work folder is kept for a look only when something failed."""
    if not FAILURES:
        shutil.rmtree(work)
    sys.exit(1 if FAILURES else 0)
