#!/usr/bin/env bash
# brimwave --render SONG -o VIDEO as a user runs it: songs of every kind
# FFmpeg reads become videos of the song's length with its sound, in sync;
# failures and signals say so (a full disk with its reason), keep the song
# and any older video, and leave no partial file.
# Usage: VideoRenderTest.sh path/to/brimwave
set -uo pipefail
brimwave=$(realpath "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" || exit 1
export DISPLAY= WAYLAND_DISPLAY=
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
# Exact decimal arithmetic: awk prints 1 when the expression holds.
holds() { [ "$(awk "BEGIN { print ($1) ? 1 : 0 }")" = 1 ]; }
probe() { ffprobe -v error -select_streams "$1" -show_entries "$2" -of default=nw=1:nk=1 "$3" | head -n 1; }
render() { "$brimwave" --settings "$tmp/plugin.ini" --size 160x120 "$@"; }
noPartials() { ! compgen -G "$tmp/.*.partial.*" >/dev/null || fail "$1: a partial file is left: $(ls -a "$tmp")"; }

fps=40
ffmpeg -nostdin -v error -f lavfi -i "aevalsrc=0.5*sin(2*PI*220*t)*exp(-3*mod(t\,0.5))|0.4*sin(2*PI*330*t):s=44100:d=2" \
    -c:a pcm_s16le song.wav || exit 1
ffmpeg -nostdin -v error -f lavfi -i color=red:s=64x64 -frames:v 1 cover.png || exit 1

# name | ffmpeg's options for the song | its file
cases=(
    "mp3 with a cover picture|-i cover.png -map 0:a -map 1:v -c:a libmp3lame -c:v png -disposition:v attached_pic|song.mp3"
    "ogg vorbis|-c:a libvorbis|song.ogg"
    "opus|-c:a libopus|song.opus"
    "flac 96 kHz|-ar 96000 -c:a flac|song96.flac"
    "m4a aac|-c:a aac|song.m4a"
    "wav 8 kHz mono|-ar 8000 -ac 1 -c:a pcm_s16le|mono8k.wav"
    "wav 192 kHz 24-bit|-ar 192000 -c:a pcm_s24le|song192.wav"
    "flac 5.1|-af aformat=channel_layouts=5.1 -c:a flac|surround51.flac"
    "flac 7.1|-af aformat=channel_layouts=7.1 -c:a flac|surround71.flac"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name options file <<<"$row"
    # shellcheck disable=SC2086
    ffmpeg -nostdin -v error -i song.wav $options "$file" || { fail "$name: ffmpeg cannot make it"; continue; }
    render --render "$file" -o "$file.mp4" 2>"$file.log" || { fail "$name: exit code $?: $(tail -n 1 "$file.log")"; continue; }
    # As long as FFmpeg decodes it: an mp3's header counts the encoder's padding.
    rate=$(probe a:0 stream=sample_rate "$file")
    bytes=$(ffmpeg -nostdin -v error -i "$file" -map 0:a -ac 1 -f s16le - | wc -c)
    song=$(awk -v b="$bytes" -v r="$rate" 'BEGIN { printf "%.6f", b / 2 / r }')
    video=$(probe v:0 stream=duration "$file.mp4")
    frames=$(probe v:0 stream=nb_frames "$file.mp4")
    audio=$(probe a:0 stream=codec_name "$file.mp4")
    sound=$(probe a:0 stream=duration "$file.mp4")
    holds "($video - $song) ^ 2 <= (1 / $fps) ^ 2" || fail "$name: video of $video s for a song of $song s"
    holds "($frames - $song * $fps) ^ 2 <= 1" || fail "$name: $frames frames for a song of $song s"
    [ "$audio" = aac ] || fail "$name: sound track '$audio', not aac"
    holds "($sound - $song) ^ 2 <= 0.05 ^ 2" || fail "$name: sound track of $sound s for a song of $song s"
done
noPartials "the formats"

# A/V sync: silence, then a loud tone from 3 s on. The boxes grow and the
# sound starts at frame 120, within a frame.
ffmpeg -nostdin -v error -f lavfi -i "aevalsrc=if(gte(t\,3)\,0.9*sin(2*PI*80*t)\,0):s=44100:d=4" -ac 2 beat.flac
render --render beat.flac -o beat.mp4 2>beat.log || fail "sync: exit code $?: $(tail -n 1 beat.log)"
grown=$(ffmpeg -v error -i beat.mp4 -f rawvideo -pix_fmt gray - | python3 -c '
import sys
data, size = sys.stdin.buffer.read(), 160 * 120
means = [sum(data[i:i + size]) / size for i in range(0, len(data) - size + 1, size)]
# The boxes start big and shrink in the silence: settled well before 2 s.
quiet = min(means[80:110])
print(next((i for i in range(80, len(means)) if means[i] > quiet + 1.5), -1))')
heard=$(ffmpeg -v error -i beat.mp4 -map 0:a -ac 1 -f s16le - | python3 -c '
import sys, array
samples = array.array("h", sys.stdin.buffer.read())
print(next((i for i, s in enumerate(samples) if abs(s) > 3000), -1) / 44100)')
holds "$grown >= 119 && $grown <= 121" || fail "sync: the boxes grow at frame $grown, not 120"
holds "($heard - 3) ^ 2 <= (1 / $fps) ^ 2" || fail "sync: the sound starts at $heard s, not 3 s"
echo "A/V: boxes grow at frame $grown (120 expected), sound at $heard s (3 expected)"

# The same samples give the same frames, whichever reader decodes them.
ffmpeg -nostdin -v error -i song.wav -c:a flac same.flac
ffmpeg -nostdin -v error -i song.wav -af aformat=channel_layouts=5.1 -c:a pcm_s16le same51.wav
ffmpeg -nostdin -v error -i same51.wav -c:a flac same51.flac
for pair in "song.wav same.flac" "same51.wav same51.flac"; do
    read -r wav flac <<<"$pair"
    render --render "$wav" --raw-video "$wav.raw" 2>/dev/null && render --render "$flac" --raw-video "$flac.raw" 2>/dev/null &&
        cmp -s "$wav.raw" "$flac.raw" || fail "raw video of $wav and of $flac differ"
done

# A GIF: as many frames, no sound.
render --render same.flac -o clip.gif 2>gif.log || fail "gif: exit code $?: $(tail -n 1 gif.log)"
[ "$(probe v:0 stream=codec_name clip.gif)" = gif ] || fail "gif: not a GIF"
[ "$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of default=nw=1:nk=1 clip.gif)" = 80 ] ||
    fail "gif: not 80 frames"

# Failures: exit code, message, the song and an older video untouched.
echo "just text" >notes.txt
mkdir -p out && echo "older video" >out/kept.mp4
touch notAFolder empty.flac
cp same.flac song-copy.flac
ln -s same.flac link.flac
# what | arguments | exit code | message
failures_table=(
    "song as its own output|--render same.flac -o same.flac|1|is the song itself"
    "song as output through a link|--render same.flac -o link.flac|1|is the song itself"
    "a text file|--render notes.txt -o out/kept.mp4|7|cannot use 'notes.txt'"
    "a picture|--render cover.png -o out/kept.mp4|7|no audio in it"
    "no such song|--render none.flac -o out/kept.mp4|7|cannot use 'none.flac'"
    "an empty song|--render empty.flac -o out/kept.mp4|7|cannot use 'empty.flac': it is empty"
    "no such folder|--render same.flac -o none/x.mp4|8|cannot write into the folder"
    "a file as the folder|--render same.flac -o notAFolder/x.mp4|8|cannot write into the folder"
    "a side too small|--render same.flac -o out/kept.mp4 --size 8x120|1|16 to 4096 pixels"
    "a side too big|--render same.flac -o out/kept.mp4 --size 5000x120|1|16 to 4096 pixels"
    "a GIF above 100 fps|--render same.flac -o out/x.gif --fps 100.5|1|at most 100 frames a second, not 100.5"
)
for row in "${failures_table[@]}"; do
    IFS='|' read -r name arguments code message <<<"$row"
    # shellcheck disable=SC2086
    "$brimwave" --settings "$tmp/plugin.ini" $arguments 2>fail.log
    got=$?
    [ "$got" = "$code" ] || fail "$name: exit code $got, not $code"
    grep -qF -- "$message" fail.log || fail "$name: says '$(cat fail.log)', not '$message'"
    [ "$(wc -l <fail.log)" = 1 ] || fail "$name: more than one line: $(cat fail.log)"
done
cmp -s same.flac song-copy.flac || fail "the song was changed"
[ "$(cat out/kept.mp4)" = "older video" ] || fail "the older video was replaced by a failed render"
[ ! -e none ] || fail "a folder was made"
noPartials "the failures"
if [ "$(id -u)" != 0 ]; then
    mkdir locked && chmod 555 locked
    render --render same.flac -o locked/x.mp4 2>fail.log
    [ $? = 8 ] && grep -q "Permission denied" fail.log || fail "an unwritable folder: $(cat fail.log)"
else
    # A full disk, the temporary folder on it too: a filled tmpfs of the
    # run's own, which goes with it; nothing but the filling is left on it.
    mkdir full
    for video in x.mp4 x.gif; do
        unshare --mount bash -c 'mount -t tmpfs -o size=64k tmpfs full && { cat /dev/zero >full/fill; } 2>/dev/null
            TMPDIR=$PWD/full "$@"
            code=$?
            [ "$(ls -A full)" = fill ] || echo "left on the disk: $(ls -A full)" >&2
            exit $code' - "$brimwave" --settings "$tmp/plugin.ini" --render same.flac -o "full/$video" 2>fail.log
        [ $? = 8 ] && grep -q "cannot write 'full/$video'.*No space left on device" fail.log && [ "$(wc -l <fail.log)" = 1 ] ||
            fail "a full disk, $video: $(cat fail.log)"
    done
fi

# Signals, once or twice, mid-render: exit 128+signal, one line, nothing left.
ffmpeg -nostdin -v error -f lavfi -i "sine=f=220:d=120" -ac 2 long.flac
for signals in "INT" "TERM TERM" "HUP"; do
    read -r first _ <<<"$signals"
    "$brimwave" --settings "$tmp/plugin.ini" --render long.flac -o out/kept.mp4 --size 640x480 2>signal.log &
    pid=$!
    # Until the render writes its partial file, however slow the machine.
    for _ in $(seq 600); do
        compgen -G "$tmp/out/.kept.mp4.partial.*" >/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    for signal in $signals; do kill -"$signal" "$pid"; done
    wait "$pid"
    got=$?
    expected=$((128 + $(kill -l "$first")))
    [ "$got" = "$expected" ] || fail "SIG$first: exit code $got, not $expected"
    grep -qx "brimwave: stopped by SIG$first" signal.log || fail "SIG$first: says '$(cat signal.log)'"
    [ "$(cat out/kept.mp4)" = "older video" ] || fail "SIG$first: the older video was replaced"
    ! compgen -G "$tmp/out/.*.partial.*" >/dev/null || fail "SIG$first: a partial file is left"
done

# A render that completes replaces the older video, whole.
render --render same.flac -o out/kept.mp4 2>/dev/null || fail "a new video: exit code $?"
[ "$(probe v:0 stream=codec_name out/kept.mp4)" = h264 ] || fail "the older video was not replaced"
[ "$(stat -c %a out/kept.mp4)" = "$(printf '%o' $((0666 & ~$(umask))))" ] ||
    fail "the video's mode is $(stat -c %a out/kept.mp4)"
# Names as long as a folder takes (255 bytes): the partial file's is cut, at
# a character's start, to fit beside it.
for long in "$(printf 'v%.0s' {1..251}).mp4" "$(printf 'ü%.0s' {1..125})v.gif"; do
    render --render same.flac -o "out/$long" 2>long.log || fail "a 255-byte name of ${long:0:1}: $(cat long.log)"
    [ -s "out/$long" ] || fail "a 255-byte name of ${long:0:1}: no video"
done
noPartials "long names"

[ "$failures" = 0 ] && echo "all passed"
exit $((failures > 0))
