#!/usr/bin/env bash
# How fast render.sh turns a song into an MP4, as a multiple of real time, for
# each module at 640x480 and 40 frames a second, from its start to the
# finished file; then where the time goes: the host's frames alone (Render,
# read-back and writing), and the H.264 encoder alone.
# Usage: bench/render-speed.sh [SECONDS of song, default 30]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
"$here/cmake/deps.sh"
[ -f "$here/dist/brimhost.exe" ] || "$here/build.sh" >/dev/null
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/brimbench.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$here/cmake/make-song.sh" "$work/song.wav" "$seconds"

now() { date +%s.%N; }
names=(Rectangles Spheres Rectangle/Texture)
echo "render.sh, ${seconds} s song, 640x480, 40 fps (goal: 4x real time or more)"
for module in 0 1 2; do
    began=$(now)
    "$here/render.sh" "$work/song.wav" "$work/out.mp4" --module "$module" --size 640x480 --fps 40 \
        >"$work/render.log" 2>&1 || { cat "$work/render.log"; exit 1; }
    ended=$(now)
    awk -v m="$module" -v n="${names[$module]}" -v s="$seconds" -v b="$began" -v e="$ended" \
        'BEGIN { printf "  module %d %-18s %6.1f s  %5.2fx real time\n", m, n, e - b, s / (e - b) }'
    sed -n 's/^   host: /      host: /p' "$work/render.log"
done

export WINEPREFIX="${BRIM_WINEPREFIX:-$here/build/windows/wineprefix}" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "host alone, offline render without output, 640x480"
for module in 0 1 2; do
    wine "$here/dist/brimhost.exe" --module "$module" --render-fps 40 --seconds "$seconds" --size 640x480 \
        --wav "Z:${work//\//\\}\\song.wav" "Z:${here//\//\\}\\dist\\vis_brim.dll" </dev/null >"$work/host.log" 2>&1
    awk -v m="$module" '/^frames:/ { printf "  module %d  %s fps  %.2fx real time\n", m, $6, $6 / 40 }' "$work/host.log"
done
timeout 30 wineserver -w || true

began=$(now)
ffmpeg -nostdin -v error -f lavfi -i "testsrc2=s=640x480:r=40:d=$seconds" -pix_fmt bgr0 -f rawvideo - |
    ffmpeg -nostdin -v error -f rawvideo -pix_fmt bgr0 -video_size 640x480 -framerate 40 -i - \
        -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -f mp4 "$work/encoded.mp4"
ended=$(now)
awk -v s="$seconds" -v b="$began" -v e="$ended" \
    'BEGIN { printf "encoder alone, raw 640x480 frames to H.264: %.1f s, %.2fx real time\n", e - b, s / (e - b) }'
