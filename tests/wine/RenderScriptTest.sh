#!/usr/bin/env bash
# render.sh end to end on a generated song that is silent but for one loud
# second: the MP4's streams, size, rate and length, brighter frames while the
# song is loud, and the refusals that leave nothing behind.
# Usage: RenderScriptTest.sh brimhost.exe vis_brim.dll (in the wine tests' prefix and display)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
export BRIM_HOST_EXE=$1 BRIM_WINEPREFIX=$WINEPREFIX
plugin=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/brimrendertest.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# Five seconds: silence, a loud chord from 2 s to 3 s, silence.
ffmpeg -nostdin -v error -f lavfi -i \
    "aevalsrc=between(t\,2\,3)*(0.4*sin(2*PI*110*t)+0.3*sin(2*PI*220*t)+0.2*sin(2*PI*440*t)):s=44100:d=5" \
    -ac 2 "$work/song.flac"

"$here/render.sh" "$work/song.flac" "$work/out.mp4" --module 0 --size 160x120 --fps 20 --plugin "$plugin" \
    >"$work/render.log" 2>&1 || { cat "$work/render.log"; exit 1; }
cat "$work/render.log"
probe() {
    ffprobe -v error -select_streams "$1" -show_entries "$2" -of csv=p=0 "$work/out.mp4"
}
check "160x120 H.264 video in yuv420p" [ "$(probe v:0 stream=codec_name,width,height,pix_fmt)" = "h264,160,120,yuv420p" ]
check "20 frames a second" [ "$(probe v:0 stream=r_frame_rate)" = "20/1" ]
check "100 frames" [ "$(probe v:0 stream=nb_frames)" = 100 ]
check "an audio stream" [ "$(probe a:0 stream=codec_type)" = audio ]
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/out.mp4")
check "5 s long within one frame (got $length)" awk -v l="$length" 'BEGIN { exit !(l > 4.95 && l < 5.05) }'

# Mean brightness of each frame: the level boxes stand taller while it is loud.
ffprobe -v error -f lavfi -i "movie=$work/out.mp4,signalstats" -show_entries frame_tags=lavfi.signalstats.YAVG \
    -of csv=p=0 >"$work/brightness"
read -r quiet loud < <(awk '{ t = (NR - 1) / 20 } t >= 1.5 && t < 2 { q += $1; nq++ } t >= 2.3 && t < 2.9 { l += $1; nl++ }
    END { printf "%.2f %.2f\n", q / nq, l / nl }' "$work/brightness")
check "brighter while loud ($loud) than in silence ($quiet)" awk -v q="$quiet" -v l="$loud" 'BEGIN { exit !(l > 1.25 * q) }'
check "the song's path, size and length reported" grep -q "out.mp4: .* MB, 5.0[0-9] s" "$work/render.log"

# Refusals: one line each, a non-zero exit, no output file.
printf 'just text' >"$work/text.mp3"
ffmpeg -nostdin -v error -f lavfi -i color=red:s=32x32:d=1 "$work/silent.mp4"
refuse() {
    local what=$1 message=$2
    shift 2
    rm -f "$work/bad.mp4"
    local status=0
    "$here/render.sh" "$@" >"$work/refused.log" 2>&1 || status=$?
    check "$what: refused" [ "$status" -ne 0 ]
    check "$what: says '$message'" grep -q "$message" "$work/refused.log"
    check "$what: no output" [ ! -e "$work/bad.mp4" ]
    check "$what: no partial file" [ -z "$(ls -A "$work" | grep partial || true)" ]
}
refuse "missing song" "no such song" "$work/none.flac" "$work/bad.mp4"
refuse "not audio" "cannot read the song" "$work/text.mp3" "$work/bad.mp4"
refuse "no audio stream" "no audio stream" "$work/silent.mp4" "$work/bad.mp4"
refuse "no such folder" "no such folder" "$work/song.flac" "$work/none/bad.mp4"
refuse "bad size" "bad value '0x10' for --size" "$work/song.flac" "$work/bad.mp4" --size 0x10
refuse "unknown option" "unknown option '--speed'" "$work/song.flac" "$work/bad.mp4" --speed 2
refuse "start past the end" "nothing to render" "$work/song.flac" "$work/bad.mp4" --start 9
check "no process of the run left" [ -z "$(pgrep -f "$work" || true)" ]

[ "$failures" -eq 0 ] || echo "$failures checks failed"
[ "$failures" -eq 0 ]
