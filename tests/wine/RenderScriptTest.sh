#!/usr/bin/env bash
# render.sh end to end on a generated song that is silent but for one loud
# second, through both engines: the MP4's streams, size, rate and length,
# brighter frames while the song is loud, names and sizes at the edges, the
# refusals that leave nothing behind, two runs side by side, and runs stopped
# by signals.
# Usage: RenderScriptTest.sh brimhost.exe vis_brim.dll (in the wine tests' prefix and display)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
export BRIM_HOST_EXE=$1 BRIM_WINEPREFIX=$WINEPREFIX
[ -f "$WINEPREFIX/system.reg" ] || "$here/cmake/wine-prefix.sh"
plugin=$2
# The native engine comes from the native build, made here when missing.
export BRIM_NATIVE_EXE=$here/build/native/brimwave
if [ ! -x "$BRIM_NATIVE_EXE" ]; then
    cmake -S "$here" -B "$here/build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$here/build/native" -j2 --target brimwave >/dev/null
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/brimrendertest.XXXXXX")
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../check.sh"

# Five seconds: silence, a loud chord from 2 s to 3 s, silence. Tagged, as
# most songs are.
ffmpeg -nostdin -v error -f lavfi -i \
    "aevalsrc=between(t\,2\,3)*(0.4*sin(2*PI*110*t)+0.3*sin(2*PI*220*t)+0.2*sin(2*PI*440*t)):s=44100:d=5" \
    -ac 2 -metadata title="Chord" -metadata artist="Brimwave tests" "$work/song.flac"

# The package installer, which asks dpkg-query, is not run while every tool is there.
mkdir "$work/bin"
printf '#!/bin/sh\ntouch "%s/installer-ran"\nexec /usr/bin/dpkg-query "$@"\n' "$work" >"$work/bin/dpkg-query"
chmod +x "$work/bin/dpkg-query"
for engine in native wine; do
    engineOption=(--engine native)
    [ "$engine" = native ] || engineOption=(--plugin "$plugin")
    PATH="$work/bin:$PATH" "$here/render.sh" "$work/song.flac" "$work/out.mp4" --module 0 --size 160x120 --fps 20 \
        "${engineOption[@]}" >"$work/render.log" 2>&1 || { cat "$work/render.log"; exit 1; }
    cat "$work/render.log"
    check "$engine: no package installer while the tools are there" [ ! -e "$work/installer-ran" ]
    probe() {
        ffprobe -v error -select_streams "$1" -show_entries "$2" -of csv=p=0 "$work/out.mp4"
    }
    check "$engine: 160x120 H.264 video in yuv420p" \
        [ "$(probe v:0 stream=codec_name,width,height,pix_fmt)" = "h264,160,120,yuv420p" ]
    check "$engine: 20 frames a second" [ "$(probe v:0 stream=r_frame_rate)" = "20/1" ]
    check "$engine: 100 frames" [ "$(probe v:0 stream=nb_frames)" = 100 ]
    check "$engine: an audio stream" [ "$(probe a:0 stream=codec_type)" = audio ]
    length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/out.mp4")
    check "$engine: 5 s long within one frame (got $length)" awk -v l="$length" 'BEGIN { exit !(l > 4.95 && l < 5.05) }'

    # Mean brightness of each frame: the level boxes stand taller while it is loud.
    ffprobe -v error -f lavfi -i "movie=$work/out.mp4,signalstats" -show_entries frame_tags=lavfi.signalstats.YAVG \
        -of csv=p=0 >"$work/brightness-$engine"
    read -r quiet loud < <(awk '{ t = (NR - 1) / 20 } t >= 1.5 && t < 2 { q += $1; nq++ } t >= 2.3 && t < 2.9 { l += $1; nl++ }
        END { printf "%.2f %.2f\n", q / nq, l / nl }' "$work/brightness-$engine")
    check "$engine: brighter while loud ($loud) than in silence ($quiet)" \
        awk -v q="$quiet" -v l="$loud" 'BEGIN { exit !(l > 1.25 * q) }'
    if [ "$engine" = native ]; then
        check "native: the program's own report" grep -q "out.mp4: 100 frames, 5.00 s of video" "$work/render.log"
    else
        check "wine: the song's path, size and length reported" grep -q "out.mp4: .* MB, 5.0[0-9] s" "$work/render.log"
        check "wine: its program named" grep -q "^   brimhost.exe: " "$work/render.log"
    fi
done
# The native engine encodes in-process, the wine engine's frames go through
# ffmpeg: the same pictures come out equally bright.
largest=$(paste -d ' ' "$work/brightness-native" "$work/brightness-wine" |
    awk '{ d = $1 - $2; d = d < 0 ? -d : d; if (d > m) m = d } END { print (NR == 100 ? m + 0 : "none") }')
check "both engines' videos equally bright, frame by frame (largest difference $largest)" \
    awk -v m="$largest" 'BEGIN { exit !(m != "none" && m < 0.5) }'

# Names that begin with "-" or "--", run from the song's folder; sizes at the
# ends of the range; a duration shorter than one frame; a song shorter than
# one FLAC block; a rate above 48 kHz, whose WAV header is longer.
# output | arguments | codec,width,height,frames | said
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=0.1" -ac 2 "$work/brief.flac"
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=0.5:sample_rate=96000" -ac 2 "$work/high.flac"
small=(
    "-small.mp4|song.flac -small.mp4 --size 17x17 --fps 10 --duration 0.5|h264,16,16,5|rendering 16x16 instead of 17x17"
    "--tall.gif|--size 23x4096 --duration 0.0000001 -- song.flac --tall.gif|gif,23,4096,1|rendering one frame"
    "brief.mp4|brief.flac brief.mp4 --size 32x32|h264,32,32,4|0.10 s of audio"
    "high.mp4|high.flac high.mp4 --size 32x32|h264,32,32,20|0.50 s of audio"
)
for row in "${small[@]}"; do
    IFS='|' read -r name arguments expected said <<<"$row"
    # shellcheck disable=SC2086
    (cd "$work" && "$here/render.sh" --plugin "$plugin" $arguments) >"$work/small.log" 2>&1 || cat "$work/small.log"
    check "$name: $expected" [ "$(ffprobe -v error -select_streams v:0 -count_frames -show_entries \
        stream=codec_name,width,height,nb_read_frames -of csv=p=0 "$work/$name" 2>&1)" = "$expected" ]
    check "$name: says '$said'" grep -q -- "$said" "$work/small.log"
done

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
refuse "not audio" "not a song FFmpeg can read" "$work/text.mp3" "$work/bad.mp4"
refuse "no audio stream" "no audio in it" "$work/silent.mp4" "$work/bad.mp4"
refuse "no such folder" "no such folder" "$work/song.flac" "$work/none/bad.mp4"
refuse "bad size" "bad value '0x10' for --size" "$work/song.flac" "$work/bad.mp4" --size 0x10
refuse "unknown option" "unknown option '--speed'" "$work/song.flac" "$work/bad.mp4" --speed 2
refuse "unknown engine" "bad value 'dosbox' for --engine" "$work/song.flac" "$work/bad.mp4" --engine dosbox
refuse "a DLL natively" "needs --engine wine" "$work/song.flac" "$work/bad.mp4" --engine native --plugin "$plugin"
refuse "start past the end" "no audio in it after --start" "$work/song.flac" "$work/bad.mp4" --start 9
refuse "a size that wraps round" "each side 16 to 4096" "$work/song.flac" "$work/bad.mp4" --size 18446744073709552256x480
ffmpeg -nostdin -v error -i "$work/song.flac" -c:a aac "$work/tune.mp4"
ln "$work/tune.mp4" "$work/link.mp4"
sum=$(md5sum <"$work/tune.mp4")
refuse "the song by another path" "the output is the song itself" "$work/tune.mp4" "$work/../${work##*/}/tune.mp4"
refuse "the song by a hard link" "the output is the song itself" "$work/tune.mp4" "$work/link.mp4"
check "the song unchanged" [ "$(md5sum <"$work/tune.mp4")" = "$sum" ]
check "no process of the run left" [ -z "$(pgrep -f "$work" || true)" ]

# Long renders stopped by signals, one or several, the first alongside a short
# render on a display that does not exist, in the shared prefix whose server a
# program without a display has just started. Everything a run starts carries
# its TMPDIR.
ffmpeg -nostdin -v error -f lavfi -i anullsrc=r=44100:cl=stereo -t 300 "$work/long.flac"
set -m  # so that a background run takes INT and QUIT
for run in "HUP HUP|wine" "INT|wine" "TERM QUIT|wine" "INT|native"; do
    signals=${run%|*}
    engineOption=(--engine native)
    [ "${run#*|}" = native ] || engineOption=(--plugin "$plugin")
    mkdir "$work/tmp"
    TMPDIR="$work/tmp" "$here/render.sh" "$work/long.flac" "$work/long.mp4" --size 32x32 --fps 240 "${engineOption[@]}" \
        >"$work/long.log" 2>&1 &
    long=$!
    # Under way once frames are encoded, however long wine takes to start.
    while kill -0 "$long" 2>/dev/null && ! grep -qs '^frame=[1-9]' "$work"/tmp/brimrender.*/progress &&
        ! [ -s "$(ls "$work"/.long.mp4.partial.* 2>/dev/null | head -n 1)" ]; do
        sleep 0.25
    done
    if [ "$signals" = "HUP HUP" ]; then
        env -u DISPLAY wine reg query 'HKCU\Software\Wine' >/dev/null 2>&1
        # Done in its own time: were it waiting for the long render (minutes
        # of frames), that would have ended first.
        check "beside a long render, on a display that is not there, after a server without one: done" \
            env DISPLAY=:4093 "$here/render.sh" "$work/song.flac" "$work/short.gif" --size 32x32 \
            --duration 1 --plugin "$plugin"
        check "the long render still running alongside" kill -0 "$long"
        wineserver -w
    fi
    for signal in $signals; do
        kill -s "$signal" "$long" 2>/dev/null || true
        sleep 0.3
    done
    status=0
    wait "$long" || status=$?
    first=${signals%% *}
    check "$run: exit status $((128 + $(kill -l "$first")))" [ "$status" -eq $((128 + $(kill -l "$first"))) ]
    check "$run: said" grep -q "stopped by SIG$first" "$work/long.log"
    left=$(ls -A "$work/tmp"; ls -A "$work" | grep partial; grep -ls "$work/tmp" /proc/[0-9]*/environ) || true
    check "$run: nothing left ${left//$'\n'/ }" [ -z "$left" ]
    rm -rf "$work/tmp" "$work"/.long.mp4.partial.*
done

CheckedAll
