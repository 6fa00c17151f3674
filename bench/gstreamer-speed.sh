#!/usr/bin/env bash
# How fast the GStreamer element turns a song into video, beside `brimwave
# --render` of the same song, as multiples of real time, for each module at
# 640x480 and 40 frames a second: into an H.264 MP4 (x264 ultrafast, both
# ways; the element also with a queue before the encoder), and the frames alone (the element into fakesink, --render into
# /dev/null). The median of RUNS runs, with the processor time of the median
# run, which a busy machine changes less than the wall clock.
# Usage: bench/gstreamer-speed.sh [BUILD folder, default build/native] [SECONDS, default 20] [RUNS, default 3]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/native}" && pwd)
seconds=${2:-20}
runs=${3:-3}
[ -x "$build/brimwave" ] && [ -f "$build/gstreamer/libgstbrimwave.so" ] ||
    { echo "no brimwave and libgstbrimwave.so in $build: build them first" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/brimgstbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export GST_REGISTRY="$work/registry.bin" GST_PLUGIN_PATH="$build/gstreamer" DISPLAY= WAYLAND_DISPLAY=

"$here/tools/make-song.sh" "$work/song.wav" "$seconds"
gst-inspect-1.0 brimwave >/dev/null  # the registry, before anything is timed

# Runs a command; prints "wall user+system" seconds of it and its children.
timed() {
    local TIMEFORMAT='%R %U %S'
    { time "$@" >"$work/run.log" 2>&1; } 2>"$work/time" || { cat "$work/run.log"; exit 1; }
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/time"
}

element_mp4() {
    gst-launch-1.0 -q filesrc location="$work/song.wav" ! decodebin ! audioconvert ! brimwave module="$1" ! \
        video/x-raw,width=640,height=480,framerate=40/1 ! videoconvert ! x264enc speed-preset=ultrafast ! \
        mp4mux ! filesink location="$work/element.mp4"
}
# A queue gives the encoder a thread of its own, as --render's pipe does.
element_mp4_queued() {
    gst-launch-1.0 -q filesrc location="$work/song.wav" ! decodebin ! audioconvert ! brimwave module="$1" ! \
        video/x-raw,width=640,height=480,framerate=40/1 ! queue ! videoconvert ! x264enc speed-preset=ultrafast ! \
        mp4mux ! filesink location="$work/element.mp4"
}
render_mp4() {
    "$build/brimwave" --render "$work/song.wav" --raw-video - --pixel-format yuv420p --module "$1" \
        --size 640x480 --render-fps 40 |
        ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -video_size 640x480 -framerate 40 -i - \
            -c:v libx264 -preset ultrafast "$work/render.mp4"
}
element_frames() {
    gst-launch-1.0 -q filesrc location="$work/song.wav" ! decodebin ! audioconvert ! brimwave module="$1" ! \
        video/x-raw,width=640,height=480,framerate=40/1 ! fakesink
}
render_frames() {
    "$build/brimwave" --render "$work/song.wav" --raw-video /dev/null --module "$1" --size 640x480 --render-fps 40
}

names=(Rectangles Spheres Rectangle/Texture)
echo "Brimwave as a GStreamer element beside brimwave --render: ${seconds} s song, 640x480, 40 fps, medians of $runs runs"
printf '  %-19s %-22s %9s %8s %10s\n' module way "x real" "wall s" "cpu s"
for module in 0 1 2; do
    for way in element_mp4 element_mp4_queued render_mp4 element_frames render_frames; do
        : >"$work/runs"
        for ((run = 0; run < runs; run++)); do
            timed "$way" "$module" >>"$work/runs"
        done
        sort -n "$work/runs" | awk -v runs="$runs" -v seconds="$seconds" -v module="${names[$module]}" -v way="$way" '
            NR == int((runs + 1) / 2) { printf "  %-19s %-22s %8.1fx %8.2f %10.2f\n", module, way, seconds / $1, $1, $2 }'
    done
done
