# Sourced by the live tests: a PulseAudio server of the test's own, in a
# private runtime folder, with a null sink "spk" as the default output.
# StartPulse starts it and keeps a silent low-latency stream playing, so the
# monitor delivers at once; StopPulse ends both. Needs $work.
StartPulse() {
    export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" PULSE_SERVER=
    unset PULSE_SERVER
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR" "$HOME"
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
        --load="module-native-protocol-unix auth-anonymous=1" \
        --load="module-null-sink sink_name=spk rate=48000 channels=2" --load=module-always-sink \
        2>"$work/pulse.log"
    pactl set-default-sink spk
    pacat --playback --device=spk --latency-msec=20 --format=s16le --rate=48000 --channels=2 /dev/zero 2>/dev/null &
    silentStream=$!
}

StopPulse() {
    kill "$silentStream" 2>/dev/null || true
    wait "$silentStream" 2>/dev/null || true
    pulseaudio --kill 2>/dev/null || true
}
