#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Ctrl+C (SIGINT), SIGTERM and SIGHUP end the program as closing its window does: exit status
# 0 and a complete trace, the waveform closed with its final timestamp.
# Usage: termination_test.sh SELVAR_BINARY
set -euo pipefail
selvar=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

for signal in INT TERM HUP; do
    trace="$work/run-$signal.vcd"
    errors="$work/run-$signal.err"
    QT_QPA_PLATFORM=offscreen "$selvar" --trace "$trace" --scpi-port 0 2>"$errors" &
    pid=$!
    # The server starts once the start-up has run on the port: its line says the run is under
    # way, whatever the trace has written out by then.
    for _ in $(seq 1 500); do
        grep -q 'serving SCPI' "$errors" && break
        sleep 0.02
    done
    if ! grep -q 'serving SCPI' "$errors"; then
        echo "FAIL: SIG$signal run never said it was serving"
        kill -KILL "$pid" 2>/dev/null || true
        failures=$((failures + 1))
        continue
    fi
    kill -"$signal" "$pid"
    status=0
    wait "$pid" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "FAIL: SIG$signal gave exit status $status"
        failures=$((failures + 1))
        continue
    fi
    # The writer ends with one tick after the last access; a killed writer leaves no such line.
    last=$(tail -n 1 "$trace")
    before=$(grep '^#' "$trace" | tail -n 2 | head -n 1)
    if [ "${last#\#}" != "$(( ${before#\#} + 1 ))" ]; then
        echo "FAIL: SIG$signal left an incomplete waveform (ends '$last' after '$before')"
        failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ] && echo "termination: all checks passed"
exit "$failures"
