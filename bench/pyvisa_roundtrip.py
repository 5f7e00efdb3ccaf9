#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Round trips as a lab script makes them with PyVISA's pure-Python backend: write() of a gain
command, then query() of *OPC?, against the program started windowless on the simulated board.

usage: bench/pyvisa_roundtrip.py SELVAR [SELVAR ...] [--pairs N] [--rounds R]

Each binary gets its own program; the rounds alternate between them so that a machine's load
falls on all alike. Prints min / median / max over the rounds of each round's median, in ms.
"""
import argparse
import re
import statistics
import subprocess
import time

import pyvisa


def start(binary):
    program = subprocess.Popen([binary, "--no-gui", "--scpi-port", "0"],
                               stderr=subprocess.PIPE, text=True)
    for line in program.stderr:
        found = re.search(r"port (\d+)", line)
        if found and "serving" in line.lower():
            return program, int(found.group(1))
    raise RuntimeError(f"{binary} did not say its port")


def round_median(resource, pairs):
    times = []
    for i in range(pairs):
        start_ns = time.perf_counter_ns()
        resource.write(f"DUT1:GAIN:LEFT {-10 - (i % 2)}")
        assert resource.query("*OPC?") == "1"
        times.append((time.perf_counter_ns() - start_ns) / 1e6)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binaries", nargs="+")
    parser.add_argument("--pairs", type=int, default=50)
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    manager = pyvisa.ResourceManager("@py")
    programs, resources = [], []
    for binary in args.binaries:
        program, port = start(binary)
        programs.append(program)
        resources.append(manager.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                                               read_termination="\n", write_termination="\n",
                                               timeout=5000))
    medians = [[] for _ in args.binaries]
    for _ in range(args.rounds):
        for index, resource in enumerate(resources):
            medians[index].append(round_median(resource, args.pairs))
    for binary, resource, program, found in zip(args.binaries, resources, programs, medians):
        resource.write("SYSTem:EXIT")
        resource.close()
        program.wait(timeout=10)
        print(f"{binary}: write()+query() median per round, ms: "
              f"min {min(found):.3f} / median {statistics.median(found):.3f} / max {max(found):.3f}")


if __name__ == "__main__":
    main()
