#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The built program reading a script that waits, never ends or cannot be read or answered:
termination signals and SCPI clients are still served, and every failure is said and fails the
run.

Usage: script_input_test.py SELVAR waits|misuse
"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

from program_checks import ENV, check, finish, serving_port

SELVAR, CASE = sys.argv[1:3]
WORK = tempfile.mkdtemp(prefix="selvar-script-")


def query(port, line):
    """The reply, or what came of it before the connection ended or 5 s passed."""
    reply = b""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(line + b"\n")
            while not reply.endswith(b"\n"):
                piece = s.recv(100)
                if not piece:
                    break
                reply += piece
    except OSError:
        pass
    return reply


def case_waits():
    """Each way a script can keep the program waiting, ended by another termination signal."""
    fifo_idle, fifo_slow = os.path.join(WORK, "idle"), os.path.join(WORK, "slow")
    os.mkfifo(fifo_idle)
    os.mkfifo(fifo_slow)
    stdin_writer = subprocess.Popen(["sleep", "60"], stdout=subprocess.PIPE)
    cases = [("/dev/zero", "/dev/zero", None, signal.SIGTERM),
             ("a FIFO with no writer", fifo_idle, None, signal.SIGINT),
             ("a FIFO whose writer is slow", fifo_slow, None, signal.SIGHUP),
             ("standard input left open", "-", stdin_writer.stdout, signal.SIGTERM)]
    for what, script, stdin, sig in cases:
        err = open(os.path.join(WORK, "waits.err"), "w+")
        proc = subprocess.Popen([SELVAR, "--no-gui", "--scpi-port", "0", "--script", script],
                                env=ENV, stdin=stdin or subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=err)
        port = serving_port(proc, err)
        check(port is not None, f"{what}: the run serves")
        if script == fifo_slow:
            # Opened only now, non-blocking, so the open does not wait for the program either.
            writer = os.open(fifo_slow, os.O_WRONLY)
            os.write(writer, b"*OPC?\n")
            check(proc.stdout.readline() == b"1\n", f"{what}: a line runs once it is complete")
        if port is not None:
            check(query(port, b"*IDN?").startswith(b"Orvane,"), f"{what}: the server answers")
        sent = time.monotonic()
        proc.send_signal(sig)
        try:
            status = proc.wait(timeout=5)
            print(f"{what}: ended {1000 * (time.monotonic() - sent):.0f} ms after {sig.name}")
            check(status == 0, f"{what}: {sig.name} ends the run cleanly, not {status}")
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            check(False, f"{what}: {sig.name} does not end the run")
        if script == fifo_slow:
            os.close(writer)
    stdin_writer.kill()
    stdin_writer.wait()


def run(args, **kwargs):
    return subprocess.run([SELVAR, "--no-gui"] + args, env=ENV, capture_output=True,
                          timeout=30, **kwargs)


def case_misuse():
    run_dir = run(["--script", WORK])
    check(run_dir.returncode == 1 and b": is a directory" in run_dir.stderr,
          f"a directory: {run_dir.returncode} {run_dir.stderr[-200:]}")

    closed_in = run(["--script", "-"], stdin=None, preexec_fn=lambda: os.close(0))
    check(closed_in.returncode == 1 and b"standard input is closed" in closed_in.stderr,
          f"closed standard input: {closed_in.returncode} {closed_in.stderr[-200:]}")

    # With standard output and error closed, replies and errors must not land in the trace.
    script = os.path.join(WORK, "bad.scpi")
    with open(script, "w") as f:
        f.write("FOO\n*IDN?\n")
    trace = os.path.join(WORK, "closed.vcd")

    def close_out_err():
        os.close(1)
        os.close(2)
    subprocess.run([SELVAR, "--no-gui", "--script", script, "--trace", trace], env=ENV,
                   stdin=subprocess.DEVNULL, preexec_fn=close_out_err, timeout=30)
    with open(trace, "rb") as f:
        check(f.read(1) == b"$", "closed standard output and error: the waveform is clean")

    with open("/dev/full", "wb") as full:
        proc = subprocess.run([SELVAR, "--no-gui", "--script", "-"], env=ENV,
                              input=b"*OPC?\n*OPC?\nDUT1:UNIT\n", stdout=full,
                              stderr=subprocess.PIPE, timeout=30)
    said = [l for l in proc.stderr.splitlines() if b"standard output" in l]
    check(proc.returncode == 1 and len(said) == 1,
          f"a full disk: said once and fails the run: {proc.returncode} {proc.stderr[-300:]}")

    # A reader that goes after one line ends an endless script at once.
    source = subprocess.Popen(["yes", "*OPC?"], stdout=subprocess.PIPE)
    proc = subprocess.Popen([SELVAR, "--no-gui", "--script", "-"], env=ENV, stdin=source.stdout,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    source.stdout.close()
    check(proc.stdout.readline() == b"1\n", "the first reply")
    proc.stdout.close()
    try:
        status = proc.wait(timeout=10)
        check(status == 1, f"a reader gone: the run fails, not {status}")
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        check(False, "a reader gone: the run goes on")
    source.kill()
    source.wait()


{"waits": case_waits, "misuse": case_misuse}[CASE]()
finish(WORK)
