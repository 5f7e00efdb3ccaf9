#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How the built program meets careless or hostile surroundings: pipes whose reader goes away,
# FIFOs nobody reads, full disks, Qt's own options as option values, no display, file names
# that are not UTF-8.
# Usage: start_and_trace_test.sh SELVAR_BINARY CASE
set -uo pipefail
selvar=$1
work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
export QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*"; exit 1; }

case $2 in
sigpipe)
    # A reader that quits mid-run, and a stray SIGPIPE: the run goes on, the loss is said once.
    mkfifo trace.fifo
    exec 3<>trace.fifo
    "$selvar" --trace trace.fifo --scpi-port 0 2>err 3>&- &
    pid=$!
    for _ in $(seq 1 100); do
        port=$(sed -n 's/.*serving SCPI on 127.0.0.1 port \([0-9]*\)$/\1/p' err)
        [ -n "$port" ] && break
        sleep 0.05
    done
    exec 3>&-
    # Written out when idle: the next write is a move made after the reader quit.
    exec 4<>"/dev/tcp/127.0.0.1/$port" || fail "no SCPI port: $(cat err)"
    printf 'DUT1:GAIN:LEFT 4\n*OPC?\n' >&4
    read -r -t 10 _ <&4 || fail "the move was not answered"
    exec 4>&-
    sleep 0.6
    kill -PIPE $pid
    sleep 0.3
    kill -0 $pid 2>/dev/null || fail "SIGPIPE ended the program"
    kill -TERM $pid
    wait $pid
    status=$?
    [ "$status" -eq 1 ] || fail "exit status $status after the trace's reader quit, not 1"
    [ "$(grep -c 'trace.fifo' err)" -eq 1 ] || fail "the loss was not said once: $(cat err)"
    grep -q '^selvar: .*Broken pipe' err || fail "no program name or reason: $(cat err)"
    ;;
fifo)
    mkfifo nobody-reads
    timeout 10 "$selvar" --trace nobody-reads --quit-after-start 2>err
    status=$?
    [ "$status" -eq 1 ] || fail "exit status $status for a FIFO without reader, not 1"
    grep -q 'nobody-reads.*FIFO' err || fail "no reason given: $(cat err)"
    ;;
lost)
    "$selvar" --trace /dev/full --quit-after-start 2>err
    status=$?
    [ "$status" -eq 1 ] || fail "exit status $status for a lost trace, not 1"
    grep -q '^selvar: .*/dev/full' err || fail "the message does not name the file: $(cat err)"
    ;;
qt-options)
    "$selvar" --trace -platform --quit-after-start >out 2>&1
    status=$?
    [ "$status" -eq 0 ] || fail "--trace -platform: exit status $status: $(cat out)"
    grep -q '^W 379 00' ./-platform || fail "--trace -platform: the trace is not in -platform"
    "$selvar" --trace -widgetcount --quit-after-start >out 2>&1 || fail "--trace -widgetcount"
    ! grep -qi 'widgets left' out || fail "Qt read -widgetcount: $(cat out)"
    grep -q '^W 379 00' ./-widgetcount || fail "--trace -widgetcount: no trace in -widgetcount"
    ;;
no-display)
    echo "an earlier trace" >earlier.log
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$selvar" --trace earlier.log 2>err
    status=$?
    [ "$status" -eq 1 ] || fail "exit status $status without a display, not 1"
    grep -q 'no display.*QT_QPA_PLATFORM=offscreen' err || fail "no reason given: $(cat err)"
    [ "$(cat earlier.log)" = "an earlier trace" ] || fail "the earlier trace was overwritten"
    ;;
bytes)
    name=$'caf\xe9.log'
    "$selvar" --trace "$name" --quit-after-start 2>err || fail "exit status $?: $(cat err)"
    [ -s "$name" ] || fail "the trace is not in the file named: $(ls)"
    [ "$(ls | wc -l)" -eq 2 ] || fail "other files written: $(ls)"
    ;;
*)
    fail "unknown case $2"
    ;;
esac
echo "$2: passed"
