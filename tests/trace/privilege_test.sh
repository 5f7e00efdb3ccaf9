#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Started with elevated privilege, the program refuses to run before the toolkit (or anything
# else) reads the caller's environment. A set-group-ID copy is the stand-in for file
# capabilities: the kernel marks both starts AT_SECURE.
# Usage: privilege_test.sh SELVAR_BINARY
set -uo pipefail
selvar=$1
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: making a set-group-ID copy for another group needs root"
    exit 77
fi
work=$(mktemp -d -p "$(dirname "$selvar")")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cp "$selvar" "$work/selvar"
chgrp nogroup "$work/selvar" && chmod g+s "$work/selvar" || fail "cannot make a set-group-ID copy"
QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$work" \
    "$work/selvar" --trace "$work/bus.log" --quit-after-start 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "elevated start gave exit status $status, not 1: $(cat "$work/err")"
grep -q 'elevated privilege' "$work/err" || fail "no reason given: $(cat "$work/err")"
[ ! -e "$work/bus.log" ] || fail "the trace file was created before refusing"

# The same binary without the set-group-ID bit runs.
cp "$selvar" "$work/plain"
QT_QPA_PLATFORM=offscreen "$work/plain" --quit-after-start 2>/dev/null || fail "plain copy: $?"
echo "privilege: passed"
