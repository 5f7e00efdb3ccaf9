#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A start that measures nothing maps neither Qt Multimedia nor Qt Charts; the first audio
# command loads the measurement module, and both libraries with it. Without the module, the
# program runs on and a measurement on a sound card says why it has none.
# Usage: lazy_module_test.sh SELVAR_BINARY
set -euo pipefail
selvar=$1
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Starts the program given with the options given, serving SCPI; sets pid and port.
serve() {
    QT_QPA_PLATFORM=offscreen "$@" --scpi-port 0 2>"$work/err" &
    pid=$!
    for _ in $(seq 1 500); do
        grep -q 'serving SCPI' "$work/err" && break
        sleep 0.02
    done
    port=$(sed -n 's/.*serving SCPI on .* port \([0-9]*\).*/\1/p' "$work/err" | head -n 1)
    [ -n "$port" ] || fail "never said it was serving: $(cat "$work/err")"
}
# The first line of the answer to the commands given, one a line.
ask() {
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf '%s\n' "$@" >&3
    read -r -t 20 reply <&3 || fail "no answer to $*"
    exec 3>&-
}
stop() {
    kill -TERM "$pid"
    wait "$pid" || fail "exit status $? after SIGTERM"
    pid=
}

serve "$selvar"

mapped() { grep -c "$1" "/proc/$pid/maps" || true; }
for library in libQt6Multimedia libQt6Charts; do
    [ "$(mapped "$library")" -eq 0 ] || fail "$library mapped at start-up"
done

ask 'AUD:DEV:LIST? OUTP'
[[ $reply == '"sim"'* ]] || fail "AUD:DEV:LIST? OUTP answered: $reply"
for library in libQt6Multimedia libQt6Charts; do
    [ "$(mapped "$library")" -gt 0 ] || fail "$library not mapped once an audio command ran"
done
stop

# The program alone, with no module beside it or where the package puts it.
cp "$selvar" "$work/selvar"
serve "$work/selvar" --audio-out card --audio-in card
ask 'DUT1:MEAS:GAIN? LEFT' 'SYST:ERR?'
[[ $reply == '-241,"Hardware missing;'*'module'*'not installed"' ]] ||
    fail "a measurement without the module answered: $reply"
stop
if "$work/selvar" --list-audio >"$work/list" 2>&1; then
    fail "--list-audio without the module succeeded: $(cat "$work/list")"
fi
grep -q 'not installed' "$work/list" || fail "--list-audio did not say why: $(cat "$work/list")"
