# Sourced by the tests and benches that listen: a PulseAudio server of the
# caller's own, in a private runtime folder under $work, with a null sink
# "spk" as the default output. StartPulse starts it and keeps a silent
# low-latency stream playing, so the monitor delivers at once. StopPulse ends
# both and returns once the server has gone: asked to quit, it takes a second
# or two, at times longer, and a StartPulse meanwhile would find it running.
StartPulse() {
    export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
    unset PULSE_SERVER
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR" "$HOME"
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
        --load="module-native-protocol-unix auth-anonymous=1" \
        --load="module-null-sink sink_name=spk rate=48000 channels=2" --load=module-always-sink \
        2>>"$work/pulse.log"
    pactl set-default-sink spk
    # Without a stream playing, the null sink renders in blocks of up to two
    # seconds and its monitor delivers late.
    pacat --playback --device=spk --latency-msec=20 --format=s16le --rate=48000 --channels=2 /dev/zero 2>/dev/null &
    silentStream=$!
}

StopPulse() {
    # A subshell's StopPulse may have ended the stream already.
    if [ -n "${silentStream:-}" ] && [ "$(cat "/proc/$silentStream/comm" 2>/dev/null)" = pacat ]; then
        kill "$silentStream" 2>/dev/null || true
        wait "$silentStream" 2>/dev/null || true
        silentStream=""
    fi
    local daemon waited=0
    daemon=$(cat "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/pid" 2>/dev/null) || return 0
    pulseaudio --kill 2>/dev/null || true
    # One that is still there after five seconds is killed outright. The
    # name is checked, as a stale pid file may name another process.
    while [ "$(cat "/proc/$daemon/comm" 2>/dev/null)" = pulseaudio ]; do
        [ $((waited += 1)) -ne 50 ] || kill -KILL "$daemon" 2>/dev/null || true
        sleep 0.1
    done
}
