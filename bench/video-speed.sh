#!/usr/bin/env bash
# Times brimwave --render SONG -o VIDEO.mp4 end to end for a 20 s song, beside
# ffmpeg's own showwaves and showcqt with the same x264 settings, and prints
# real-time factors, Mbit/s and PSNR against the raw (lossless) frames.
# Usage: bench/video-speed.sh [build/h-video]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build/h-video}")
brimwave=$build/brimwave
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
seconds=20
"$here/tools/make-song.sh" "$tmp/song.wav" "$seconds"
# The settings brimwave's encoder uses (linux-program/VideoEncoder.cpp).
x264=(-c:v libx264 -preset ultrafast -crf 23 -x264-params cabac=1 -pix_fmt yuv420p -c:a aac -aac_coder fast -b:a 160k)

now() { date +%s.%N; }
report() {  # name seconds file psnr
    awk -v n="$1" -v t="$2" -v b="$(stat -c %s "$3")" -v p="$4" -v s="$seconds" \
        'BEGIN { printf "  %-38s %5.1fx  %6.2f Mbit/s  %s\n", n, s / t, b * 8 / s / 1e6, p }'
}
psnr() {  # encoded raw size fps
    ffmpeg -nostdin -i "$1" -f rawvideo -pix_fmt yuv420p -s "$3" -r "$4" -i "$2" -lavfi psnr -f null - 2>&1 |
        grep -o 'average:[0-9.inf]*' | awk -F: '{ printf "PSNR %.1f dB", $2 }'
}

echo "Brimwave video bench: $(nproc) cores, a ${seconds} s song, x264 ultrafast crf 23 + CABAC, AAC 160k"
echo "  what                                real time   bit rate     quality"
for row in "0 640x480 40 Rectangles" "1 640x480 40 Spheres" "2 640x480 40 Rectangle/Texture" \
    "1 1280x720 30 Spheres" "1 1920x1080 30 Spheres"; do
    read -r module size fps name <<<"$row"
    env=(env DISPLAY= WAYLAND_DISPLAY=)
    start=$(now)
    "${env[@]}" "$brimwave" --settings "$tmp/plugin.ini" --render "$tmp/song.wav" -o "$tmp/v.mp4" \
        --module "$module" --size "$size" --fps "$fps" 2>/dev/null
    took=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
    "${env[@]}" "$brimwave" --settings "$tmp/plugin.ini" --render "$tmp/song.wav" --raw-video "$tmp/v.yuv" \
        --pixel-format yuv420p --module "$module" --size "$size" --fps "$fps" 2>/dev/null
    report "brimwave $name $size/$fps" "$took" "$tmp/v.mp4" "$(psnr "$tmp/v.mp4" "$tmp/v.yuv" "$size" "$fps")"
done
for row in "showwaves=s=640x480:rate=40 640x480/40" "showcqt=s=1280x720:r=30 1280x720/30"; do
    read -r filter size <<<"$row"
    start=$(now)
    ffmpeg -nostdin -v error -y -i "$tmp/song.wav" -filter_complex "[0:a]$filter,format=yuv420p[v]" -map '[v]' \
        -map 0:a "${x264[@]}" -movflags +faststart "$tmp/f.mp4"
    took=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
    report "ffmpeg ${filter%%=*} $size" "$took" "$tmp/f.mp4" ""
done
