#!/usr/bin/env python3
"""Sweep one gain channel of a Selvar Control program over SCPI, 0.5 dB at a time.

Start the program with `selvar --scpi-port 5025` (add --no-gui to run without windows), then:
    python3 sweep.py --start -12 --stop -6
Each step sets the gain, reads the chip back and prints one row. Exits 1 if a chip did not hold
the code that was set.
"""
import argparse
import sys

import pyvisa


def code_of(db):
    """The chip's gain code for a dB value on the 0.5 dB grid (-96 dB is code 0)."""
    return round((db + 96.0) * 2)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=5025)
    ap.add_argument("--dut", type=int, choices=(1, 2), default=1)
    ap.add_argument("--channel", choices=("LEFT", "RIGHT"), default="LEFT")
    ap.add_argument("--start", type=float, default=-12.0, help="dB")
    ap.add_argument("--stop", type=float, default=-6.0, help="dB")
    args = ap.parse_args()

    rm = pyvisa.ResourceManager("@py")
    dut = rm.open_resource(f"TCPIP::{args.host}::{args.port}::SOCKET",
                           read_termination="\n", write_termination="\n", timeout=10000)
    if args.dut == 2:
        dut.write("TOPology DUAL")  # DUT2 commands are refused on a single board
    gain = f"DUT{args.dut}:GAIN:{args.channel}"
    column = 0 if args.channel == "LEFT" else 1
    steps = int(round(abs(args.stop - args.start) * 2)) + 1
    sign = 1 if args.stop >= args.start else -1

    print(f"{'set dB':>8} {'code':>5} {'read dB':>8} {'read code':>9}")
    failures = 0
    for i in range(steps):
        db = args.start + sign * 0.5 * i
        dut.write(f"{gain} {db:.1f}")
        shown = dut.query(f"{gain}?")
        read_code = int(dut.query(f"DUT{args.dut}:READback?").split(",")[column])
        ok = read_code == code_of(db)
        failures += not ok
        print(f"{db:8.1f} {code_of(db):5d} {shown:>8} {read_code:9d}{'' if ok else '  MISMATCH'}")
    error = dut.query("SYSTem:ERRor?")
    if not error.startswith("0,"):
        print(f"instrument error: {error}", file=sys.stderr)
        failures += 1
    dut.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
