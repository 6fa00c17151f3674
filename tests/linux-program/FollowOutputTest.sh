#!/usr/bin/env bash
# brimwave following the desktop's output when the output it records goes
# away, as unplugging headphones does: the server names another default and
# the run goes on to its end on that output's monitor, saying the change once,
# and a tone played there shows. On a private PipeWire session (which names
# the default "@DEFAULT_SINK@" for a moment) and on a private PulseAudio
# server (which kills the stream first). With no output left the run ends
# with one line naming PulseAudio and exit code 2.
# Usage: FollowOutputTest.sh path/to/brimwave [runs on each server]
set -euo pipefail
source "$(dirname "$0")/program-test.sh" "$1" follow
runs=${2:-2}

# Polls until the command holds, for at most a minute however slow the machine.
Until() {
    local tries=0
    until "$@" >/dev/null 2>&1; do
        [ $((tries += 1)) -lt 600 ] || return 1
        sleep 0.1
    done
}
Recording() { pactl list short source-outputs | grep -q .; }
NotRecording() { ! Recording; }
DefaultIs() { [ "$(pactl get-default-sink)" = "$1" ]; }
# brimwave's stream records the named source.
RecordingFrom() {
    local index
    index=$(pactl list short sources | awk -v name="$1" '$2 == name { print $1 }')
    [ -n "$index" ] && pactl list short source-outputs | awk '{ print $2 }' | grep -qx "$index"
}
Silence() {
    pacat --playback --device="$1" --latency-msec=20 --format=s16le --rate=48000 --channels=2 /dev/zero 2>/dev/null &
}

ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=30" -ac 2 -ar 48000 "$work/tone.wav"

# The default output "phones" is unplugged once brimwave records it; the
# server falls back to the speakers, and the tone plays there once the
# recording has moved.
Unplugged() {
    local what=$1 speakers=$2 phones unplug status=0 lit
    Until NotRecording
    phones=$(pactl load-module module-null-sink sink_name=phones rate=48000 channels=2)
    pactl set-default-sink phones
    Until DefaultIs phones
    Silence phones
    local phonesSilence=$!
    (
        Until Recording
        pactl unload-module "$phones"
        Until RecordingFrom "$speakers.monitor"
        exec paplay --device="$speakers" "$work/tone.wav"
    ) &
    unplug=$!
    rm -f "$work/followed.png"
    Show --module 0 --seconds 6 --snapshot "$work/followed.png" 2>"$work/err" || status=$?
    kill "$unplug" "$phonesSilence" 2>/dev/null || true
    wait "$unplug" "$phonesSilence" 2>/dev/null || true
    check "$what: the run goes on to its end (exit code $status)" [ "$status" -eq 0 ]
    check "$what: the change to $speakers.monitor said once" \
        [ "$(grep -c "^brimwave: the default output changed: recording $speakers.monitor$" "$work/err")" -eq 1 ]
    check "$what: nothing else said" [ "$(grep -c . "$work/err")" -eq 1 ]
    [ "$status" -eq 0 ] && [ "$(grep -c . "$work/err")" -eq 1 ] || sed 's/^/    /' "$work/err"
    lit=$(LitPixels "$work/followed.png" 2>/dev/null) || lit=0
    check "$what: the tone on $speakers shows ($lit pixels, silence $quiet)" [ "$lit" -gt $((2 * quiet)) ]
}

# The silent desktop's snapshot, for comparison.
Quiet() {
    Until NotRecording
    local status=0
    Show --module 0 --seconds 2 --snapshot "$work/silence.png" 2>"$work/err" || status=$?
    check "$1: the silent run ends with exit code 0 (got $status)" [ "$status" -eq 0 ]
    quiet=$(LitPixels "$work/silence.png" 2>/dev/null) || quiet=0
}

# A private PipeWire session as a desktop runs one, on a bus of its own.
pipeWire=()
StartPipeWire() {
    export XDG_RUNTIME_DIR="$work/pipewire" PIPEWIRE_RUNTIME_DIR="$work/pipewire" HOME="$work/home"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    unset PULSE_SERVER
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR" "$HOME"
    bus=$(dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --fork --print-pid)
    pipewire 2>>"$work/pipewire.log" &
    pipeWire=($!)
    Until test -S "$PIPEWIRE_RUNTIME_DIR/pipewire-0"
    wireplumber 2>>"$work/pipewire.log" &
    pipeWire+=($!)
    pipewire-pulse 2>>"$work/pipewire.log" &
    pipeWire+=($!)
    Until pactl info
}
StopPipeWire() {
    local daemon
    for daemon in "${pipeWire[@]}"; do
        kill "$daemon" 2>/dev/null || true
        wait "$daemon" 2>/dev/null || true
    done
    pipeWire=()
    [ -z "${bus:-}" ] || kill "$bus" 2>/dev/null || true
    bus=""
}
AtExit() {
    kill "${speakersSilence:-}" 2>/dev/null || true
    StopPipeWire
}

StartPipeWire
pactl load-module module-null-sink sink_name=speakers rate=48000 channels=2 >/dev/null
pactl set-default-sink speakers
Until DefaultIs speakers
Silence speakers
speakersSilence=$!
Quiet PipeWire
for run in $(seq "$runs"); do
    Unplugged "PipeWire, run $run" speakers
done
# The last output unplugged too: nothing to follow.
(Until Recording && pactl unload-module module-null-sink) &
started=$SECONDS
status=0
Show --module 0 --seconds 60 2>"$work/err" || status=$?
took=$((SECONDS - started))
check "PipeWire, no output left: exit code 2 (got $status)" [ "$status" -eq 2 ]
check "PipeWire, no output left: one line naming PulseAudio" [ "$(grep -c "^brimwave: PulseAudio: " "$work/err")" -eq 1 ]
check "PipeWire, no output left: nothing else said" [ "$(grep -c . "$work/err")" -eq 1 ]
check "PipeWire, no output left: ended by it (${took} s)" [ "$took" -lt 60 ]
kill "$speakersSilence" 2>/dev/null || true
StopPipeWire

StartPulse
Quiet PulseAudio
for run in $(seq "$runs"); do
    Unplugged "PulseAudio, run $run" spk
done

CheckedAll
