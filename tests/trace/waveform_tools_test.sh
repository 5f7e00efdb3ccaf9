#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A start-up recorded as a waveform must open in the waveform tools engineers use and decode
# as SPI into exactly the frames the program sent.
# Usage: waveform_tools_test.sh SELVAR_BINARY
set -euo pipefail
selvar=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in sigrok-cli vcd2lxt2 gtkwave xvfb-run; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup-deps installs it)"; exit 1; }
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

spi=spi:clk=clk:mosi=mosi:cs=cs:cs_polarity=active-low:cpol=0:cpha=0:bitorder=msb-first:wordsize=16

# Frames of a start-up, as the decoder prints 16-bit words (no leading zeros). The reset takes
# each panel from the designer codes (192/192) to 0/0, Left first, DUT2's panel first: every
# frame carries the DUT2 word, then the DUT1 word (right code high byte). Each read-back frame
# is 32 zero bits, the marker and the probe's zero bits, then both words again.
gain_frames=$'spi-1: C000 C0C0\nspi-1: 00 C0C0\nspi-1: 00 C000\nspi-1: 00 00'
# chips, idle line, read-back frame (marker 1 then 15 zero bits per chip in the chain)
cases=(
    "2 high|spi-1: 00 00 8000 00 00 00"
    "1 high|spi-1: 00 00 8000 00 00"
    "0 high|spi-1: 00 00 8000 00"
    "0 low|spi-1: 00 00 8000 00 00 00 00"
)
for case in "${cases[@]}"; do
    read -r chips idle <<<"${case%%|*}"
    readback=${case#*|}
    vcd="$work/startup-$chips-$idle.vcd"
    if ! QT_QPA_PLATFORM=offscreen "$selvar" --sim-chips "$chips" --sim-idle-line "$idle" \
        --trace "$vcd" --quit-after-start 2>"$work/selvar.err"; then
        fail "selvar exited non-zero for $chips chips, idle $idle: $(cat "$work/selvar.err")"
        continue
    fi
    [ "$(tail -c 1 "$vcd" | od -An -c | tr -d ' ')" = '\n' ] || fail "$vcd does not end in a newline"

    # sigrok-cli exits 0 even when it drops data; its output and an empty stderr are the proof.
    decoded=$(sigrok-cli -I vcd -i "$vcd" -P "$spi" -A spi=mosi-transfer 2>"$work/sigrok.err")
    expected="$gain_frames"$'\n'"$readback"$'\n'"$readback"
    [ "$decoded" = "$expected" ] || fail "decode of $chips chips/$idle differs:"$'\n'"$decoded"$'\nexpected:\n'"$expected"
    [ ! -s "$work/sigrok.err" ] || fail "sigrok-cli complained: $(cat "$work/sigrok.err")"
done

vcd="$work/startup-2-high.vcd"
if ! vcd2lxt2 "$vcd" "$work/startup.lxt" >/dev/null 2>"$work/lxt.err"; then
    fail "vcd2lxt2 failed: $(cat "$work/lxt.err")"
fi
[ ! -s "$work/lxt.err" ] || fail "vcd2lxt2 complained: $(cat "$work/lxt.err")"

# gtkwave without a display only prints its usage; under Xvfb -x loads the file and exits.
if ! xvfb-run -a gtkwave -x "$vcd" >"$work/gtkwave.out" 2>&1; then
    fail "gtkwave could not load the waveform: $(tail -5 "$work/gtkwave.out")"
fi
grep -q 'end time' "$work/gtkwave.out" || fail "gtkwave did not read the trace: $(tail -5 "$work/gtkwave.out")"

# A run killed without warning leaves its waveform written up to a moment before: whole,
# loadable, and decoding into the frames sent by then, a move made after start-up included.
killed="$work/killed.vcd"
QT_QPA_PLATFORM=offscreen "$selvar" --trace "$killed" --scpi-port 0 2>"$work/killed.err" &
pid=$!
port=
for _ in $(seq 1 200); do
    port=$(sed -n 's/.*serving SCPI on 127.0.0.1 port \([0-9]*\)$/\1/p' "$work/killed.err")
    [ -n "$port" ] && break
    sleep 0.05
done
reply=
if [ -n "$port" ] && exec 3<>"/dev/tcp/127.0.0.1/$port"; then
    # The read-back after the move gives the move's last chip-select rise a later timestamp, as
    # any further traffic would; a decoder sees an edge only once time moves past it.
    printf 'DUT1:GAIN:LEFT 4\nDUT1:READback?\n*OPC?\n' >&3
    read -r -t 10 reply <&3 || true
    read -r -t 10 reply <&3 || true
    exec 3>&-
fi
sleep 1.2  # written out at least once a second, and at once when idle
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
if [ "${reply%$'\r'}" != 1 ]; then
    fail "the killed run did not answer its move (port '$port'): $(cat "$work/killed.err")"
else
    decoded=$(sigrok-cli -I vcd -i "$killed" -P "$spi" -A spi=mosi-transfer 2>"$work/sigrok.err")
    startup="$gain_frames"$'\n'"${cases[0]#*|}"$'\n'"${cases[0]#*|}"
    move=$(sed -n 7p <<<"$decoded")
    [ "$(head -n 6 <<<"$decoded")" = "$startup" ] && [ "$move" = "spi-1: 00 C8" ] ||
        fail "the killed run's waveform decodes as:"$'\n'"$decoded"
    if ! xvfb-run -a gtkwave -x "$killed" >"$work/gtkwave.out" 2>&1 ||
        ! grep -q 'end time' "$work/gtkwave.out"; then
        fail "gtkwave could not load the killed run's waveform: $(tail -5 "$work/gtkwave.out")"
    fi
fi

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "waveform tools: all checks passed"
