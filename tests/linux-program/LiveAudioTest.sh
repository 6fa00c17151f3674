#!/usr/bin/env bash
# brimwave on live audio from a private PulseAudio server: a tone played into
# the default output makes the boxes grow and silence does not, also after
# the desktop has switched to another output; no server, a server that goes
# away and a source that vanishes each end the run with one line naming
# PulseAudio and exit code 2, within seconds; no display, or one that cannot
# be opened, ends it with exit code 6 and says which; an X server that goes
# away mid-run ends it with exit code 3, the settings and last frame saved.
# Usage: LiveAudioTest.sh path/to/brimwave
set -euo pipefail
source "$(dirname "$0")/program-test.sh" "$1" live
# Runs brimwave, keeping its exit code, stderr and running time.
Attempt() {
    local started=$SECONDS
    status=0
    Show "$@" 2>"$work/err" || status=$?
    took=$((SECONDS - started))
}
Refused() {
    local what=$1
    check "$what: exit code 2 (got $status)" [ "$status" -eq 2 ]
    check "$what: one line naming PulseAudio" [ "$(grep -c "^brimwave: PulseAudio: " "$work/err")" -eq 1 ]
    # Before the run's own limit of 60 s: ended by the failure, at any speed.
    check "$what: ended by it (${took} s)" [ "$took" -lt 60 ]
}

mkdir -p -m 0700 "$work/none"
XDG_RUNTIME_DIR="$work/none" Attempt --seconds 60
Refused "no server"

StartPulse
check "the sink's monitor among the sources" grep -q "^spk.monitor" <("$brimwave" --list-sources)
Show --module 0 --seconds 2 --snapshot "$work/silence.png"
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=10" -ac 2 -ar 48000 "$work/tone.wav"
paplay --device=spk "$work/tone.wav" &
tone=$!
Show --module 0 --seconds 2 --snapshot "$work/tone.png"
kill "$tone"
quiet=$(LitPixels "$work/silence.png")
loud=$(LitPixels "$work/tone.png")
check "boxes grow with the tone ($loud pixels) over silence ($quiet)" [ "$loud" -gt $((2 * quiet)) ]

# A suspended output sends nothing at all: that is silence, and the boxes
# fall instead of standing at the last level. The source is named by its
# description, as --list-sources prints it.
paplay --device=spk "$work/tone.wav" &
tone=$!
(
    until pactl list short source-outputs 2>/dev/null | grep -q .; do sleep 0.1; done
    sleep 1
    pactl suspend-sink spk 1
) &
suspender=$!
Show --module 0 --seconds 4 --listen "Monitor of Null Output" --snapshot "$work/suspended.png"
kill "$tone" "$suspender" 2>/dev/null || true
pactl suspend-sink spk 0
suspended=$(LitPixels "$work/suspended.png")
check "a suspended output is silence ($suspended pixels, silence $quiet)" [ "$suspended" -lt $((2 * quiet)) ]

# The desktop changes its output while brimwave runs: the recording follows.
pactl load-module module-null-sink sink_name=phones rate=48000 channels=2 >/dev/null
pacat --playback --device=phones --latency-msec=20 --format=s16le --rate=48000 --channels=2 /dev/zero 2>/dev/null &
phonesSilence=$!
# The switch once brimwave records, however long it takes to start.
(
    until pactl list short source-outputs 2>/dev/null | grep -q .; do sleep 0.1; done
    pactl set-default-sink phones
    exec paplay --device=phones "$work/tone.wav"
) &
toneOnPhones=$!
Show --module 0 --seconds 3 --snapshot "$work/phones.png" 2>"$work/err"
kill "$toneOnPhones" "$phonesSilence" 2>/dev/null || true
check "the change said" grep -q "^brimwave: the default output changed: recording phones.monitor$" "$work/err"
followed=$(LitPixels "$work/phones.png")
check "boxes grow with the tone on the new output ($followed pixels)" [ "$followed" -gt $((2 * quiet)) ]
pactl set-default-sink spk

# No X server answers on display 77, and no compositor at nowhere-77.
# the displays named | what brimwave says
while IFS='|' read -r named said; do
    status=0
    # shellcheck disable=SC2086
    env -u DISPLAY -u WAYLAND_DISPLAY $named "$brimwave" --seconds 10 2>"$work/err" || status=$?
    check "${named:-no display}: exit code 6 (got $status)" [ "$status" -eq 6 ]
    check "${named:-no display}: says '$said'" [ "$(cat "$work/err")" = "brimwave: $said" ]
done <<'EOF'
|no display: set DISPLAY or WAYLAND_DISPLAY
DISPLAY=:77|cannot open the display ':77' named by DISPLAY
WAYLAND_DISPLAY=nowhere-77|cannot open the display 'nowhere-77' named by WAYLAND_DISPLAY
DISPLAY=:77 WAYLAND_DISPLAY=nowhere-77|cannot open the display ':77' named by DISPLAY, nor 'nowhere-77' named by WAYLAND_DISPLAY
EOF

# The X server killed once it shows the scene.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xServer=$!
for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
display=:$(cat "$work/display")
rm -f "$XDG_CONFIG_HOME/brimwave/plugin.ini"
(
    export DISPLAY=$display
    timeout 60 xdotool search --sync --onlyvisible --name '^Spheres$' >/dev/null || true
    for _ in $(seq 600); do
        kill -0 "$xServer" 2>/dev/null || break
        ffmpeg -nostdin -v error -f x11grab -i "$display" -frames:v 1 -y "$work/screen.png" &&
            [ "$(LitPixels "$work/screen.png")" -gt 0 ] && break
        sleep 0.1
    done
    kill "$xServer" 2>/dev/null || true
) &
killer=$!
status=0
DISPLAY=$display "$brimwave" --module 1 --seconds 60 --snapshot "$work/lost.png" 2>"$work/err" || status=$?
kill "$xServer" 2>/dev/null || true
wait "$killer"
check "the X server gone: exit code 3 (got $status)" [ "$status" -eq 3 ]
check "the X server gone: one line naming the display" \
    [ "$(cat "$work/err")" = "brimwave: lost the display '$display': its X server is gone" ]
check "the X server gone: the last frame saved" [ "$(LitPixels "$work/lost.png")" -gt 0 ]
check "the X server gone: the settings saved" grep -q '^\[Spheres\]' "$XDG_CONFIG_HOME/brimwave/plugin.ini"

Attempt --listen nosuch.monitor --seconds 60
Refused "no such source"

recording() { until pactl list short source-outputs 2>/dev/null | grep -q .; do sleep 0.1; done; }
# A second of frames after the recording starts, so there is a last one to save.
(recording; sleep 1; pactl unload-module module-null-sink) &
Attempt --module 1 --seconds 60 --snapshot "$work/vanished.png"
Refused "source vanished"
check "the last frame still saved" [ -s "$work/vanished.png" ]

(recording; pulseaudio --kill) &
Attempt --module 2 --seconds 60
Refused "server gone"
check "the settings still saved" grep -q "^\[Rectangle/Texture(prelim)\]" "$XDG_CONFIG_HOME/brimwave/plugin.ini"

CheckedAll
