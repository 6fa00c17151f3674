#!/usr/bin/env bash
# brimhost --listen and Brimwave.exe with real audio: a private PulseAudio
# server behind wine's pulse driver, a tone played into its sink. Checks the
# fallback to the sink's monitor and its line, the waveform and the real
# boxes following the tone, M and the remembered module, the server going
# away mid-run, and no server. Prints the latency from the tone's start to
# the first frame that shows it.
# Usage: ListenTest.sh brimhost.exe Brimwave.exe fake_vis.dll vis_brim.dll post_key.exe
# (in the wine tests' prefix and display)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
host=$1 viewer=$2 fake=$3 plugin=$4 postKey=$5
work=$(mktemp -d "${TMPDIR:-/tmp}/brimlistentest.XXXXXX")
source "$here/tests/check.sh"
# The server finds its socket, and wine's driver the server, through XDG_RUNTIME_DIR.
source "$here/tests/private-pulse.sh"
[ -f "$WINEPREFIX/system.reg" ] || "$here/cmake/wine-prefix.sh"
cd "$work"
export XDG_CONFIG_HOME=$work/config
trap 'StopPulse; wine reg delete "HKCU\Software\Wine\Drivers" /v Audio /f >/dev/null 2>&1; rm -rf "$work"' EXIT
StartPulse
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f >/dev/null 2>&1
ffmpeg -nostdin -v error -f lavfi -i "aevalsrc=0.5*sin(2*PI*220*t)+0.3*sin(2*PI*440*t):s=48000:d=1.5" -ac 2 tone.wav

run() {  # run NAME PROGRAM ARGS...: NAME.out, NAME.err (one line end each) and NAME.status
    local name=$1 status=0
    shift
    wine "$@" >"$name.out" 2>"$name.err" </dev/null || status=$?
    sed -i 's/\r$//' "$name.out" "$name.err"
    echo "$status" >"$name.status"
    cat "$name.out" "$name.err"
}
# The tone's start goes into tone-start on the clock of the fake's log
# (wine's performance counter).
playTone() {
    python3 -c 'import os, time
print(time.clock_gettime(time.CLOCK_MONOTONIC_RAW), file=open("tone-start", "w"))
os.execvp("paplay", ["paplay", "--device=spk", "tone.wav"])'
}

# renders N RUN: waits for N frames in the fake's log, or for RUN to end.
renders() {
    until [ "$(cat fake.log 2>/dev/null | grep -c render)" -ge "$1" ] || [ -e "$2.status" ]; do sleep 0.1; done
}
# shots N RUN: the same for N captures.
shots() {
    until [ "$(ls shots 2>/dev/null | wc -l)" -ge "$1" ] || [ -e "$2.status" ]; do sleep 0.1; done
}

run devices "$host" --list-devices
check "--list-devices: the sink's monitor" grep -q '"Monitor of Null Output"' devices.out

# The fake's windowless module logs each frame's time and bytes; the tone
# starts once 40 frames have gone by.
export BRIM_FAKE_LOG=$work/fake.log
(
    renders 40 tone
    playTone
) &
tonePid=$!
run tone "$host" --listen --module 4 --seconds 6 "$fake"
wait "$tonePid"
check "the fallback to the monitor and loopback's failure, on one line" grep -q \
    '^listening: "Monitor of Null Output", a capture endpoint that records the output: loopback of .* not available (GetService: 0x88890003 AUDCLNT_E_WRONG_ENDPOINT_TYPE' \
    tone.out
# Each frame's time from the tone's start and its non-zero waveform bytes (of 1152).
read -r before during after latency < <(sed -n 's/^render .* ms=\([0-9.]*\) .* wavenonzero=\([0-9]*\) .*/\1 \2/p' fake.log |
    awk -v start="$(cat tone-start)" '{ t = $1 / 1000 - start }
    t > -1 && t < 0 { before = before < $2 ? $2 : before }
    t > 0.4 && t < 1.3 { n++; loud += $2 > 900 }
    t > 2.0 { after = after < $2 ? $2 : after }
    t > 0 && $2 > 0 && latency == "" { latency = t * 1000 }
    END { printf "%d %.2f %d %s\n", before, n ? loud / n : 0, after, latency == "" ? "none" : latency }')
check "silence before the tone ($before)" [ "$before" -eq 0 ]
check "the tone in the waveform of its frames ($during of them)" [ "$during" = 1.00 ]
check "silence again after it ($after)" [ "$after" -eq 0 ]
echo "latency from the tone's start to the first frame that shows it: $latency ms"

# The real module, from a copy with its own plugin.ini: the boxes grow with
# the tone, which starts 20 captures in, and shrink after it; ESC ends the
# run 25 captures after the tone.
cp "$plugin" vis_brim.dll
(
    shots 20 real
    (playTone)
    captured=$(ls shots | wc -l)
    shots $((captured + 25)) real
    [ -e real.status ] || wine "$postKey" Rectangles ESC
) &
tonePid=$!
run real "$host" --listen --module 0 --size 160x120 --capture shots --capture-every 3 --capture-format bmp \
    ./vis_brim.dll
wait "$tonePid"
read -r quiet peak last < <(python3 -c 'import glob
for shot in sorted(glob.glob("shots/*.bmp")):
    d = open(shot, "rb").read()
    p = d[int.from_bytes(d[10:14], "little"):]
    print(sum(p) / len(p))' | awk '{ b[NR] = $1; p = p < $1 ? $1 : p } END {
    for (i = 1; i <= 5; i++) { q += b[11 + i]; l += b[NR - i + 1] }  # 12-16: after the peaks Init sets have fallen
    printf "%.2f %.2f %.2f\n", q / 5, p, l / 5 }')
check "the boxes grow with the tone (brightness $peak against $quiet)" awk "BEGIN { exit !($peak > 1.25 * $quiet) }"
check "and shrink after it ($last)" awk "BEGIN { exit !($peak > 1.25 * $last) }"

# Brimwave.exe beside vis_brim.dll: M goes to the next module, ESC ends; the
# next start opens the module chosen.
mkdir app
cp "$viewer" app/Brimwave.exe
cp "$plugin" app/vis_brim.dll
viewerRun() {  # viewerRun NAME WINDOW:KEY...
    local name=$1 pair
    shift
    run "$name" app/Brimwave.exe &
    local viewerPid=$!
    for pair in "$@"; do wine "$postKey" "${pair%:*}" "${pair#*:}" || true; done
    wait "$viewerPid"
}
viewerRun first Rectangles:M Spheres:ESC
check "M: Quit, then Init of the next module" [ "$(grep -E '^(module|ended)' first.out | tr '\n' '|')" = \
    "module 0: Rectangles|ended: M pressed, the next module follows|module 1: Spheres|ended: the plug-in posted the quit message (code 0)|" ]
check "the choice kept beside the DLL" grep -q "^module=1" app/plugin.ini
viewerRun second Spheres:ESC
check "a restart opens the module chosen" grep -q "^module 1: Spheres" second.out
sed -i 's/^module=1/module=9/' app/plugin.ini
viewerRun third Rectangles:ESC
check "a module the plug-in does not have: the first" grep -q "^module 0: Rectangles" third.out

# The server goes away mid-run, once 40 frames have gone by (wine may take
# seconds to start), and comes back: a line each way, frames all along.
# The server comes back once the host has said it listens to silence.
rendered=$(grep -c render fake.log)
(
    renders $((rendered + 40)) fault
    StopPulse
    until grep -qs '^listening: no audio endpoint' fault.out || [ -e fault.status ]; do sleep 0.1; done
    StartPulse
) &
run fault "$host" --listen --module 4 --seconds 8 "$fake"
# Wine's driver says so, or its stream just stops sending.
check "the lost device said" grep -qE 'stopped \((0x88890004 AUDCLNT_E_DEVICE_INVALIDATED|no packet for a second)' fault.out
check "silence while there is none" grep -q '^listening: no audio endpoint .*silence until one comes' fault.out
check "opened again when it is back" [ "$(grep -c '^listening: "Monitor of Null Output", a capture' fault.out)" = 2 ]
check "frames all along" grep -qE '^frames: [0-9]{3,} ' fault.out

# No server: one line with the HRESULT, and exit code 10.
StopPulse
run none "$host" --listen --module 4 --frames 5 "$fake"
check "no server: exit code 10" [ "$(cat none.status)" = 10 ]
check "no server: one line with the HRESULT" [ "$(grep -c '0x80040154 REGDB_E_CLASSNOTREG' none.err)/$(wc -l <none.err)" = 1/1 ]
run noneViewer app/Brimwave.exe
check "no server, Brimwave.exe: exit code 10" [ "$(cat noneViewer.status)" = 10 ]

CheckedAll
