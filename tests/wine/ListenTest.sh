#!/usr/bin/env bash
# brimhost --listen and Brimwave.exe with real audio: a private PulseAudio
# server behind wine's pulse driver, a tone played into its sink. The fallback
# to the sink's monitor is taken and said; the waveform follows the tone and
# goes quiet after it; the real module's boxes grow and shrink; M switches
# module and the choice survives a restart; no server gives its exit code.
# Prints the latency from a tone's start to the first frame that shows it.
# Usage: ListenTest.sh brimhost.exe Brimwave.exe fake_vis.dll vis_brim.dll post_key.exe
# (in the wine tests' prefix and display)
set -euo pipefail
host=$1 viewer=$2 fake=$3 plugin=$4 postKey=$5
work=$(mktemp -d "${TMPDIR:-/tmp}/brimlistentest.XXXXXX")
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# The server finds its socket, and wine's driver the server, through XDG_RUNTIME_DIR.
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
unset PULSE_SERVER
mkdir -m 0700 "$XDG_RUNTIME_DIR"
pacatPid=""
finish() {
    [ -z "$pacatPid" ] || kill "$pacatPid" 2>/dev/null || true
    pulseaudio --kill 2>/dev/null || true
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Audio /f >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap finish EXIT
pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
    --load="module-native-protocol-unix auth-anonymous=1" \
    --load="module-null-sink sink_name=spk rate=48000 channels=2" --load=module-always-sink 2>/dev/null
pactl set-default-sink spk
# Without a stream playing, the null sink renders in blocks of up to two
# seconds and its monitor delivers late.
pacat --playback --device=spk --latency-msec=20 --format=s16le --rate=48000 --channels=2 /dev/zero &
pacatPid=$!
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f >/dev/null 2>&1
ffmpeg -nostdin -v error -f lavfi -i "aevalsrc=0.5*sin(2*PI*220*t)+0.3*sin(2*PI*440*t):s=48000:d=1.5" -ac 2 "$work/tone.wav"

run() {  # run NAME PROGRAM ARGS...: output in $work/NAME.out and .err, status in .status
    local name=$1
    shift
    local status=0
    wine "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null || status=$?
    sed -i 's/\r$//' "$work/$name.out" "$work/$name.err"
    echo "$status" >"$work/$name.status"
}
# Plays the tone; its start, on the clock of the fake's log (wine's
# performance counter), goes into $work/tone-start.
playTone() {
    python3 -c 'import os, sys, time
print(time.clock_gettime(time.CLOCK_MONOTONIC_RAW), file=open(sys.argv[1], "w"))
os.execvp("paplay", ["paplay", "--device=spk", sys.argv[2]])' "$work/tone-start" "$work/tone.wav"
}

run devices "$host" --list-devices
cat "$work/devices.out"
check "--list-devices: the sink and its monitor" grep -q '"Monitor of Null Output"' "$work/devices.out"

# The fake's windowless module logs every frame's bytes with the time.
export BRIM_FAKE_LOG=$work/fake.log
# The tone once 40 frames have gone by.
(
    for _ in $(seq 300); do
        frames=$(grep -c render "$BRIM_FAKE_LOG" 2>/dev/null || true)
        [ "${frames:-0}" -ge 40 ] && break
        sleep 0.1
    done
    playTone
) &
tonePid=$!
run tone "$host" --listen --module 4 --seconds 6 "$fake"
wait "$tonePid"
cat "$work/tone.out"
check "exit code 0" [ "$(cat "$work/tone.status")" = 0 ]
check "the fallback to the monitor, with loopback's failure, on one line" \
    grep -q '^listening: "Monitor of Null Output", a capture endpoint that records the output: loopback of .* not available (GetService: 0x88890003 AUDCLNT_E_WRONG_ENDPOINT_TYPE' \
    "$work/tone.out"
# Frame time (ms) and non-zero waveform bytes of both channels.
sed -n 's/^render .* ms=\([0-9.]*\) .* wavenonzero=\([0-9]*\) .*/\1 \2/p' "$BRIM_FAKE_LOG" >"$work/frames"
read -r before during after latency < <(awk -v start="$(cat "$work/tone-start")" '
    { t = $1 / 1000 - start }
    t > -1 && t < 0 { before = before < $2 ? $2 : before }
    t > 0.4 && t < 1.3 { n++; loud += $2 > 900 }
    t > 2.0 { after = after < $2 ? $2 : after }
    t > 0 && $2 > 0 && latency == "" { latency = t * 1000 }
    END { printf "%d %.2f %d %s\n", before, n ? loud / n : 0, after, latency == "" ? "none" : latency }' "$work/frames")
check "silence before the tone (at most $before non-zero bytes)" [ "$before" -eq 0 ]
check "the tone fills the waveform in its frames ($during of them)" awk -v d="$during" 'BEGIN { exit !(d == 1) }'
check "silence again after it (at most $after non-zero bytes)" [ "$after" -eq 0 ]
echo "latency from the tone's start to the first frame that shows it: $latency ms"

# The real module: its boxes grow with the tone and shrink after it.
# A copy, so that its plugin.ini is the test's own; paths relative to the work folder.
cd "$work"
cp "$plugin" vis_brim.dll
(sleep 4; playTone) &
tonePid=$!
run real "$host" --listen --module 0 --size 160x120 --capture frames-real --capture-every 3 --capture-format bmp \
    --seconds 8 ./vis_brim.dll
wait "$tonePid"
check "the real module ran" [ "$(cat "$work/real.status")" = 0 ]
# Mean brightness of each captured frame, in order.
python3 - "$work/frames-real" >"$work/brightness" <<'EOF'
import os, struct, sys
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    data = open(os.path.join(folder, name), "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    pixels = data[offset:]
    print(sum(pixels) / max(len(pixels), 1))
EOF
# Captures 12 to 16 come after the peaks that Init sets have fallen and
# before the tone, which starts about 30 captures in.
read -r first peak last < <(awk '{ b[NR] = $1 } END {
    for (i = 1; i <= 5; i++) { f += b[11 + i]; l += b[NR - i + 1] }
    for (i = 1; i <= NR; i++) p = p < b[i] ? b[i] : p
    printf "%.2f %.2f %.2f\n", f / 5, p, l / 5 }' "$work/brightness")
check "the boxes grow with the tone (peak $peak against $first before)" \
    awk -v f="$first" -v p="$peak" 'BEGIN { exit !(p > 1.25 * f) }'
check "and shrink after it ($last at the end)" awk -v l="$last" -v p="$peak" 'BEGIN { exit !(p > 1.25 * l) }'

# Brimwave.exe beside vis_brim.dll: M goes to the next module, ESC ends;
# the next start opens the module chosen.
mkdir "$work/app"
cp "$viewer" "$work/app/Brimwave.exe"
cp "$plugin" "$work/app/vis_brim.dll"
viewerRun() {  # viewerRun NAME then window-title key pairs
    local name=$1
    shift
    run "$name" "$work/app/Brimwave.exe" &
    local viewerPid=$!
    while [ $# -gt 0 ]; do
        wine "$postKey" "$1" "$2" >/dev/null 2>&1 || echo "no window '$1'"
        shift 2
    done
    wait "$viewerPid"
    cat "$work/$name.out"
}
viewerRun first Rectangles M Spheres ESC
check "M: Quit, then Init of the next module" grep -q "ended: M pressed" "$work/first.out"
check "first Rectangles, then Spheres" [ "$(grep '^module' "$work/first.out" | tr '\n' ' ')" = "module 0: Rectangles module 1: Spheres " ]
check "the viewer ends with ESC" [ "$(cat "$work/first.status")" = 0 ]
check "the choice is kept beside the DLL" grep -q "^module=1" "$work/app/plugin.ini"
viewerRun second Spheres ESC
check "a restart opens the module chosen" grep -q "^module 1: Spheres" "$work/second.out"
sed -i 's/^module=1/module=9/' "$work/app/plugin.ini"
viewerRun third Rectangles ESC
check "a module the plug-in does not have: the first" grep -q "^module 0: Rectangles" "$work/third.out"

# No server: one line, its own exit code, at once.
pulseaudio --kill
kill "$pacatPid" 2>/dev/null || true
pacatPid=""
sleep 1
run none "$host" --listen --module 4 --frames 5 "$fake"
cat "$work/none.err"
check "no server: exit code 10" [ "$(cat "$work/none.status")" = 10 ]
check "no server: one line naming the failure" [ "$(wc -l <"$work/none.err")" = 1 ]
check "no server: the HRESULT with its text" grep -q "0x80040154 REGDB_E_CLASSNOTREG" "$work/none.err"
run noneViewer "$work/app/Brimwave.exe"
check "no server, Brimwave.exe: exit code 10" [ "$(cat "$work/noneViewer.status")" = 10 ]

[ "$failures" -eq 0 ] || echo "$failures checks failed"
[ "$failures" -eq 0 ]
