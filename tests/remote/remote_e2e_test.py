#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The built program, windowless and with no display, driven over SCPI as a lab script drives
it (PyVISA with the pyvisa-py backend), checked by its replies and by its port access log.

Usage: remote_e2e_test.py SELVAR SWEEP_PY session|guard|sweep|script|exit|jobs
"""
import os
import selectors
import socket
import subprocess
import sys
import tempfile
import time

import pyvisa

from program_checks import ENV, check, finish, serving_port

SELVAR, SWEEP, CASE = sys.argv[1:4]
WORK = tempfile.mkdtemp(prefix="selvar-e2e-")


def start(name):
    """Starts the program serving on a free loopback port; returns (process, port, trace)."""
    trace = os.path.join(WORK, name + ".log")
    err = open(os.path.join(WORK, name + ".err"), "w+")
    proc = subprocess.Popen([SELVAR, "--no-gui", "--scpi-port", "0", "--trace", trace],
                            env=ENV, stdout=subprocess.DEVNULL, stderr=err)
    port = serving_port(proc, err)
    if port is None:
        sys.exit(f"the program did not start serving: {open(err.name).read()}")
    return proc, port, trace


def client(port):
    rm = pyvisa.ResourceManager("@py")
    return rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET", read_termination="\n",
                            write_termination="\n", timeout=20000)


def stop(proc, dut):
    dut.write("SYSTem:EXIT")
    check(proc.wait(timeout=20) == 0, "SYSTem:EXIT ends the run with status 0")


def gain_frames(trace):
    """The chip-select frames of the access log that sampled nothing (gain-word transfers), as
    (DUT2 word, DUT1 word, accesses from the data read that opens the frame to chip select
    high)."""
    cs, data, clock = 1 << 1, 1 << 2, 1 << 3
    level, frames, opened, start, shifted, sampled = 0, [], 0, None, 0, False
    with open(trace) as f:
        for n, line in enumerate(f):
            kind, address, value = line.split()
            if kind == "R" and address == "378" and level & cs:
                opened = n
            if kind == "R" and address == "379" and start is not None:
                sampled = True
            if kind != "W" or address != "378":
                continue
            value = int(value, 16)
            if level & cs and not value & cs:
                start, shifted, sampled = opened, 0, False
            if not value & cs and not level & clock and value & clock:
                shifted = (shifted << 1) | (1 if value & data else 0)
            if not level & cs and value & cs and start is not None and not sampled:
                frames.append((shifted >> 16 & 0xFFFF, shifted & 0xFFFF, n - start + 1))
            level = value
    return frames


def case_session():
    proc, port, trace = start("session")
    dut = client(port)
    check(dut.query("*IDN?").startswith("Orvane,Selvar Control,0,"), "*IDN?")
    dut.write("TOPology DUAL")
    dut.write("DUT1:GAIN:LEFT -10.5")
    check(dut.query("DUT1:GAIN:LEFT?") == "-10.5", "the gain query answers the gain set")
    check(dut.query("DUT1:READback?") == "171,0", "the chip holds the code set")
    dut.write("DUT1:RAMP:TARGet LEFT;:DUT1:RAMP:BOTTom -30;:DUT1:RAMP:DOWN")
    check(dut.query("*OPC?") == "1", "*OPC? after the ramp")
    check(dut.query("DUT1:GAIN:LEFT?;:BUS:LENGth?") == "-30.0;32", "the ramp ended at its stop")
    check(dut.query("SYSTem:ERRor?") == '0,"No error"', "no error queued")
    setup = os.path.join(WORK, "bench setup.json")
    dut.write(f'MMEMory:STORe:STATe "{setup}";:DUT1:CODE:LEFT 200;:TOPology SINGle')
    dut.write(f'MMEMory:LOAD:STATe "{setup}"')
    check(dut.query("DUT1:CODE:LEFT?;:TOPology?;:DUT1:READback?") == "132;DUAL;132,0",
          "a loaded setup puts back the gain, the topology and the chip's code")
    dut.write(f'MMEMory:LOAD:STATe "{setup}.gone"')
    check(dut.query("SYSTem:ERRor?").startswith('-256,"File name not found;'), "no file: -256")
    stop(proc, dut)
    frames = gain_frames(trace)
    moved = [i for i, f in enumerate(frames) if f[1] == 171]
    # A remote Left set sends both chips' words once (the operator's drag would send them twice).
    check(len(moved) == 1, f"one frame for the set: {moved}")
    check(all(frames[i] == (0, 171, 101) for i in moved), "a 101-access frame, DUT2 mute")
    check(frames[-1][1] == 132, "the last frame carries the ramp's stop, -30 dB")


def case_jobs():
    # A delay-50 ramp at the default pacing waits 100 ms after each move: six seconds in all.
    proc, port, trace = start("jobs")
    a, b = client(port), client(port)
    a.write("DUT1:UNITy;:DUT1:RAMP:TARGet LEFT;BOTTom -30;DELay 50;:DUT1:RAMP:DOWN")
    a.write("DUT1:MAXAtten")  # the ramp's own client waits for it, this too
    time.sleep(0.5)
    t0 = time.monotonic()
    check(b.query("*IDN?").startswith("Orvane,"), "another client is answered during the ramp")
    check(time.monotonic() - t0 < 0.5, "at once")
    reached = float(b.query("DUT1:GAIN:LEFT?"))
    check(-30 < reached < 0, f"the state as it stands mid-ramp: {reached}")
    a.write("ABORt")
    check(a.query("*OPC?") == "1", "*OPC? of the stopped ramp")
    check(time.monotonic() - t0 < 2, "the ramp stopped long before its end")
    check(b.query("DUT1:GAIN:LEFT?") == "-9.9E37", "the held maximum attenuation ran after it")
    stop(proc, a)
    frames = gain_frames(trace)
    check(all(f[2] == 101 for f in frames), "no frame was cut")
    ramp = [f[1] & 0xFF for f in frames if f[1] >> 8 == 192 and 0 < f[1] & 0xFF < 192]
    check(0 < len(ramp) < 60 and ramp[-1] > 132, f"the ramp stopped part way: {ramp}")


def case_guard():
    # What a run that served nothing sends, to compare with a run that refused what came.
    proc, port, reference = start("reference")
    stop(proc, client(port))
    proc, port, trace = start("guard")
    for attack in (b"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\nDUT1:GAIN:LEFT 0\n",
                   b"Origin: http://example.com\nDUT1:GAIN:LEFT 0\n"):
        with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
            s.sendall(attack)
            check(s.recv(100) == b"", f"closed without a reply: {attack[:12]}")
    a, b = client(port), client(port)
    a.write("X" * 5000)
    check(a.query("SYSTem:ERRor?").startswith("-363,"), "an over-long line: -363")
    check(a.query("*IDN?").startswith("Orvane,"), "the connection stays usable")
    a.write("BOGus")
    check(b.query("SYSTem:ERRor?") == '0,"No error"', "the other client's queue is its own")
    check(a.query("SYSTem:ERRor?").startswith("-113,"), "the error is in its client's queue")
    check(b.query("DUT1:GAIN:LEFT?") == "-9.9E37", "nothing the web page sent ran")
    stop(proc, a)
    check(open(trace).read() == open(reference).read(), "nothing reached the port")


def case_sweep():
    proc, port, _ = start("sweep")
    out = subprocess.run([sys.executable, SWEEP, "--port", str(port), "--start", "-2",
                          "--stop", "0"], capture_output=True, text=True, timeout=60)
    rows = out.stdout.splitlines()[1:]
    check(out.returncode == 0, f"the sweep succeeds: {out.stderr}")
    check([r.split()[3] for r in rows] == ["188", "189", "190", "191", "192"],
          f"every step read back: {rows}")
    stop(proc, client(port))


def case_script():
    script = os.path.join(WORK, "steps.scpi")
    with open(script, "w") as f:
        f.write("DUT1:GAIN:LEFT -1.0;LEFT?\nDUT1:GAIN:LEFT -1.25\nDUT1:READback?\n")
    run = subprocess.run([SELVAR, "--no-gui", "--script", script], env=ENV, capture_output=True,
                         text=True, timeout=60)
    check(run.returncode == 1, "a script that queued an error exits 1")
    check(run.stdout == "-1.0\n190,0\n", f"replies on standard output: {run.stdout!r}")
    check(f'{script}:2: -224,"Illegal parameter value;-1.25 dB is not on the 0.5 dB grid"'
          in run.stderr, "error with its line and detail")
    run = subprocess.run([SELVAR, "--no-gui", "--script", "-"], env=ENV, capture_output=True,
                         stdin=open(os.path.join(os.path.dirname(SWEEP), "gains.scpi")),
                         text=True, timeout=60)
    check(run.returncode == 0, f"the example script runs clean from stdin: {run.stderr}")
    check(run.stdout.splitlines()[1:] == ["171,168;152,152;32"], f"it reads back: {run.stdout}")
    run = subprocess.run([SELVAR, "--no-gui"], env=ENV, capture_output=True, timeout=60)
    check(run.returncode == 2, "--no-gui with nothing to drive it is a usage error")


def read_until_closed(sockets, deadline):
    """Everything each socket receives until the program closes it."""
    received = {s: b"" for s in sockets}
    with selectors.DefaultSelector() as selector:
        for s in sockets:
            selector.register(s, selectors.EVENT_READ)
        while selector.get_map() and time.monotonic() < deadline:
            for key, _ in selector.select(timeout=0.1):
                chunk = key.fileobj.recv(65536)
                received[key.fileobj] += chunk
                if not chunk:
                    selector.unregister(key.fileobj)
    return received


def case_exit():
    proc, port, _ = start("exit")
    # Their replies back up in the program: a receive buffer too small to hold them, and no
    # reading until the exit has been sent. One of them never reads at all; another sends its
    # lines just before the exit.
    clients = []
    for _ in range(3):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        s.connect(("127.0.0.1", port))
        clients.append(s)
    reader, stuck, exiting = clients
    stuck.sendall(b"*IDN?\n" * 10000)
    time.sleep(0.3)  # its replies fill what the system holds for it
    sent = time.monotonic()
    reader.sendall(b"*IDN?\n" * 2000)
    exiting.sendall(b"*IDN?;:SYSTem:EXIT\n*OPC?\n")
    received = read_until_closed([reader, exiting], sent + 10)
    check(proc.wait(timeout=10) == 0, "SYSTem:EXIT ends the run with status 0")
    idn = subprocess.run([SELVAR, "--version"], env=ENV, capture_output=True, text=True).stdout
    idn = b"Orvane,Selvar Control,0," + idn.split()[-1].encode() + b"\n"
    check(received[exiting] == idn,
          f"the exit's line is answered, nothing after it runs: {received[exiting][:80]!r}")
    check(received[reader] == idn * 2000,
          f"every line sent before the exit answered: {received[reader].count(idn)} of 2000")
    check(time.monotonic() - sent < 3, "a client that never reads holds the exit up a second at most")


{"session": case_session, "guard": case_guard, "sweep": case_sweep,
 "script": case_script, "exit": case_exit, "jobs": case_jobs}[CASE]()
finish(WORK)
