#!/usr/bin/env bash
# How fast render.sh turns a song into an MP4, as a multiple of real time, for
# each module at 640x480 and 40 frames a second, from its start to the
# finished file, through each engine: the median of RUNS runs with the
# fastest and slowest, and the processor time of the median run, which a
# busy machine changes less than the wall clock; then where the time goes:
# each engine's frames alone, and the H.264 encoder alone at the settings
# render.sh uses and at their neighbours, with the file sizes.
# Usage: bench/render-speed.sh [SECONDS of song, default 20] [RUNS, default 3]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
runs=${2:-3}
"$here/setup/deps.sh"
[ -f "$here/dist/brimhost.exe" ] && [ -x "$here/dist/brimwave" ] || "$here/build.sh" >/dev/null
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/brimbench.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$here/tools/make-song.sh" "$work/song.wav" "$seconds"

# Runs a command; prints "wall user+system" seconds of it and its children.
timed() {
    local TIMEFORMAT='%R %U %S'
    { time "$@" >"$work/run.log" 2>&1; } 2>"$work/time" || { cat "$work/run.log"; exit 1; }
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/time"
}

names=(Rectangles Spheres Rectangle/Texture)
for engine in native wine; do
    echo "render.sh --engine $engine, ${seconds} s song, 640x480, 40 fps, $runs runs (goal for Spheres natively: 8x real time or more)"
    for module in 0 1 2; do
        : >"$work/runs"
        for ((run = 0; run < runs; run++)); do
            read -r wall cpu < <(timed "$here/render.sh" "$work/song.wav" "$work/out.mp4" --engine "$engine" \
                --module "$module" --size 640x480 --fps 40)
            echo "$wall $cpu $(sed -n 's/^   \(brimwave\|brimhost.exe\): //p' "$work/run.log")" >>"$work/runs"
        done
        sort -n "$work/runs" | awk -v m="$module" -v n="${names[$module]}" -v s="$seconds" -v b="$(stat -c %s "$work/out.mp4")" '
            { wall[NR] = $1; line[NR] = $0 }
            END {
                split(line[int((NR + 1) / 2)], median, " ")
                printf "  module %d %-18s %5.2f s  %5.2fx real time (%.2fx to %.2fx)  processor %4.1f s  %4.1f MB\n",
                    m, n, median[1], s / median[1], s / wall[NR], s / wall[1], median[2], b / 1048576
                sub(/^[^ ]+ [^ ]+ /, "", line[int((NR + 1) / 2)])
                print "      frames: " line[int((NR + 1) / 2)]
            }'
    done
done

echo "brimwave alone, yuv420p frames to /dev/null as render.sh takes them, 640x480"
for module in 0 1 2; do
    read -r wall cpu < <(timed env -u DISPLAY "$here/dist/brimwave" --render "$work/song.wav" --raw-video /dev/null \
        --pixel-format yuv420p --module "$module" --render-fps 40 --size 640x480 --settings "$work/none.ini")
    awk -v m="$module" -v s="$seconds" -v w="$wall" -v c="$cpu" \
        'BEGIN { printf "  module %d  %6.1f fps  %5.2fx real time  processor %4.2f s\n", m, 40 * s / w, s / w, c }'
done

export WINEPREFIX="${BRIM_WINEPREFIX:-$here/build/windows/wineprefix}" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "brimhost.exe alone, offline render without output, 640x480"
for module in 0 1 2; do
    wine "$here/dist/brimhost.exe" --module "$module" --render-fps 40 --seconds "$seconds" --size 640x480 \
        --wav "Z:${work//\//\\}\\song.wav" "Z:${here//\//\\}\\dist\\vis_brim.dll" </dev/null >"$work/host.log" 2>&1
    awk -v m="$module" '/^frames:/ { printf "  module %d  %6.1f fps  %5.2fx real time\n", m, $6, $6 / 40 }' "$work/host.log"
done
timeout 30 wineserver -w || true

echo "encoder alone, Spheres' raw 640x480 yuv420p frames to H.264 with the song's AAC"
env -u DISPLAY "$here/dist/brimwave" --render "$work/song.wav" --raw-video "$work/frames.raw" --pixel-format yuv420p \
    --module 1 2>/dev/null
presets=(
    "ultrafast, CABAC, 1 thread (render.sh)|-preset ultrafast -x264-params cabac=1:threads=1|-aac_coder fast"
    "the same, x264's own thread count|-preset ultrafast -x264-params cabac=1|-aac_coder fast"
    "ultrafast, 1 thread|-preset ultrafast -x264-params threads=1|-aac_coder fast"
    "superfast, 1 thread|-preset superfast -x264-params threads=1|-aac_coder fast"
    "veryfast, 1 thread, default AAC coder|-preset veryfast -x264-params threads=1|"
)
for row in "${presets[@]}"; do
    IFS='|' read -r name video audio <<<"$row"
    # shellcheck disable=SC2086
    read -r wall cpu < <(timed ffmpeg -nostdin -v error -f rawvideo -pix_fmt yuv420p -video_size 640x480 -framerate 40 \
        -i "$work/frames.raw" -i "$work/song.wav" -map 0:v -map 1:a -c:v libx264 $video -crf 20 \
        -c:a aac $audio -b:a 192k -y "$work/encoded.mp4")
    awk -v n="$name" -v s="$seconds" -v w="$wall" -v c="$cpu" -v b="$(stat -c %s "$work/encoded.mp4")" \
        'BEGIN { printf "  %-40s %5.2fx real time  processor %4.2f s  %4.1f MB\n", n, s / w, c, b / 1048576 }'
done
