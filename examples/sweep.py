#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Sweep one gain channel of a Selvar Control program over SCPI, 0.5 dB at a time.

Start the program with `selvar --scpi-port 5025` (add --no-gui to run without windows), then:
    python3 sweep.py --start -12 --stop -6
Each step sets the gain, reads the chip back and prints one row. Exits 1 if a chip did not hold
the code that was set, or the program refused a command. Needs the Python driver, the
python3-selvar-control package (or PYTHONPATH=python from the source tree).
"""
import argparse
import math
import sys

from selvar_control import SelvarControl, SelvarError


def code_of(db):
    """The chip's gain code for a dB value on the 0.5 dB grid (-96 dB is code 0)."""
    return round(db * 2 + 192)


def sweep(board, channel, start, stop):
    """Prints one row a step; returns how many steps the chip did not hold."""
    gain, column = f"{channel}_gain", 0 if channel == "left" else 1
    steps = int(round(abs(stop - start) * 2)) + 1
    sign = 1 if stop >= start else -1
    print(f"{'set dB':>8} {'code':>5} {'read dB':>8} {'read code':>9}")
    failures = 0
    for i in range(steps):
        db = start + sign * 0.5 * i
        setattr(board, gain, db)
        shown = getattr(board, gain)
        read_code = board.readback[column]
        ok = read_code == code_of(db)
        failures += not ok
        read = "XXh" if read_code is None else str(read_code)
        shown = "-Inf" if shown == -math.inf else f"{shown:.1f}"
        print(f"{db:8.1f} {code_of(db):5d} {shown:>8} {read:>9}{'' if ok else '  MISMATCH'}")
    return failures


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=5025)
    ap.add_argument("--dut", type=int, choices=(1, 2), default=1)
    ap.add_argument("--channel", choices=("LEFT", "RIGHT"), default="LEFT")
    ap.add_argument("--start", type=float, default=-12.0, help="dB")
    ap.add_argument("--stop", type=float, default=-6.0, help="dB")
    args = ap.parse_args()

    selvar = SelvarControl(f"TCPIP::{args.host}::{args.port}::SOCKET")
    try:
        if args.dut == 2:
            selvar.topology = "DUAL"  # DUT2 answers in the dual topology only
        board = selvar.dut1 if args.dut == 1 else selvar.dut2
        failures = sweep(board, args.channel.lower(), args.start, args.stop)
    except SelvarError as error:
        print(f"the program refused: {error}", file=sys.stderr)
        failures = 1
    finally:
        selvar.adapter.connection.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
