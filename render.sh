#!/usr/bin/env bash
# Makes a music video of a song: natively, dist/brimwave --render does it all
# in-process; with the wine engine, the DLL in brimhost.exe renders each frame
# raw into ffmpeg, which adds the song's audio.
set -euo pipefail
# Times and fractions with a point, whatever the user's locale.
export LC_NUMERIC=C
here=$(cd "$(dirname "$0")" && pwd)

usage() {
    cat <<'EOF'
usage: ./render.sh SONG OUT.mp4|OUT.gif [options]
       ./render.sh [options] -- SONG OUT.mp4|OUT.gif
Renders a visualization of SONG (any audio file ffmpeg reads) into an H.264
MP4 with the song's audio, or into an animated GIF without sound. After "--"
both are file names even when they begin with "--".

  --module N       0 Rectangles (default), 1 Spheres, 2 Rectangle/Texture
  --size WxH       picture size, 16x16 to 4096x4096 (default 640x480); an MP4
                   has even sides, so an odd side is one pixel less there
  --fps F          frames per second, 1 to 240 (default 40, the pace the player
                   gives Brimwave's modules, so they move as fast as in the player)
  --start S        begin S seconds into the song (default 0)
  --duration S     render S seconds (default: to the end of the song); a time
                   shorter than one frame renders one frame
  --engine E       native (default): dist/brimwave --render -o makes the
                   whole video itself, through Mesa without any display (its
                   messages and exit codes are the program's); wine: the DLL
                   draws the frames in brimhost.exe under wine, in a virtual
                   X display, and ffmpeg encodes them
  --plugin DLL     another visualization plug-in (default dist/vis_brim.dll);
                   implies --engine wine
Both engines take the modules' settings from the plugin.ini beside the DLL
(dist/plugin.ini) when there is one; the native engine otherwise from its own
($XDG_CONFIG_HOME/brimwave/plugin.ini).
EOF
}

fail() {
    echo "render.sh: $*" >&2
    exit 1
}

note() {
    echo "render.sh: $*" >&2
}

# Waiting for whichever child ends first, and knowing which, takes wait -n -p.
((BASH_VERSINFO[0] * 100 + BASH_VERSINFO[1] >= 501)) || fail "needs bash 5.1 or later (this is $BASH_VERSION)"

number() {
    [[ $1 =~ ^[0-9]+([.][0-9]+)?$ ]]
}

# A relative name gets "./" so that no tool takes it for an option ("-a.mp4")
# or ffmpeg for a protocol ("take:2.mp4").
asPath() {
    case $1 in
    /* | ./* | ../*) printf '%s' "$1" ;;
    *) printf './%s' "$1" ;;
    esac
}

module=0 size=640x480 fps="" start=0 duration="" plugin="$here/dist/vis_brim.dll" pluginGiven="" engine=""
# The tests run the programs of a build tree, the host in the tests' wine prefix.
hostExe=${BRIM_HOST_EXE:-$here/dist/brimhost.exe}
nativeExe=${BRIM_NATIVE_EXE:-$here/dist/brimwave}
files=()
while [ $# -gt 0 ]; do
    case $1 in
    -h | --help)
        usage
        exit 0
        ;;
    --)
        files+=("${@:2}")
        break
        ;;
    --module | --size | --fps | --start | --duration | --plugin | --engine)
        [ $# -ge 2 ] || fail "option $1 needs a value"
        value=$2
        case $1 in
        --module) [[ $value =~ ^[0-9]+$ ]] || fail "bad value '$value' for --module (0, 1 or 2)"; module=$value ;;
        --size) size=$value ;;
        --fps) fps=$value ;;
        --start) start=$value ;;
        --duration) duration=$value ;;
        --plugin) plugin=$(asPath "$value") pluginGiven=1 ;;
        --engine) [[ $value =~ ^(native|wine)$ ]] || fail "bad value '$value' for --engine (native or wine)"; engine=$value ;;
        esac
        shift 2
        ;;
    --*) fail "unknown option '$1' (./render.sh --help lists the options)" ;;
    *)
        files+=("$1")
        shift
        ;;
    esac
done
if [ ${#files[@]} -ne 2 ]; then
    usage >&2
    exit 2
fi
song=$(asPath "${files[0]}") out=$(asPath "${files[1]}")
if [ -n "${pluginGiven:-}" ]; then
    [ "$engine" != native ] || fail "--plugin runs a DLL, which needs --engine wine"
    engine=wine
fi
engine=${engine:-native}

[[ $size =~ ^[0-9]+x[0-9]+$ ]] || fail "bad value '$size' for --size (WIDTHxHEIGHT)"
# At most five digits after any leading zeros: a longer number would wrap
# round in the shell's arithmetic to something in range.
[[ $size =~ ^0*([0-9]{1,5})x0*([0-9]{1,5})$ ]] || fail "bad value '$size' for --size (each side 16 to 4096)"
width=$((10#${BASH_REMATCH[1]})) height=$((10#${BASH_REMATCH[2]}))
((width >= 16 && width <= 4096 && height >= 16 && height <= 4096)) ||
    fail "bad value '$size' for --size (each side 16 to 4096)"
if [ -n "$fps" ]; then
    number "$fps" && awk -v f="$fps" 'BEGIN { exit !(f >= 1 && f <= 240) }' ||
        fail "bad value '$fps' for --fps (1 to 240)"
fi
framesPerSecond=${fps:-40}
number "$start" || fail "bad value '$start' for --start (seconds, 0 or more)"
if [ -n "$duration" ]; then
    number "$duration" && awk -v d="$duration" 'BEGIN { exit !(d > 0) }' ||
        fail "bad value '$duration' for --duration (seconds, more than 0)"
fi
[ -e "$song" ] || fail "no such song: $song"
[ -f "$song" ] && [ -r "$song" ] || fail "cannot read the song: $song"
case ${out,,} in
*.mp4) kind=mp4 ;;
*.gif) kind=gif ;;
*) fail "the output must end in .mp4 or .gif: $out" ;;
esac
outdir=$(dirname -- "$out")
[ -d "$outdir" ] || fail "no such folder for the output: $outdir"
[ -w "$outdir" ] || fail "cannot write into the output's folder: $outdir"
[ ! -d "$out" ] || fail "the output is a folder: $out"
# The same file also through another name or a hard link: same device and inode.
[ ! "$song" -ef "$out" ] || fail "the output is the song itself: $out"
[ -f "$plugin" ] || [ "$plugin" = "$here/dist/vis_brim.dll" ] || fail "no such plug-in: $plugin"
if [ "$kind" = mp4 ] && ((width % 2 || height % 2)); then
    # H.264 in yuv420p, the layout every player plays, has its sides in pixel pairs.
    note "an MP4's sides are even: rendering $((width / 2 * 2))x$((height / 2 * 2)) instead of ${width}x${height}"
    width=$((width / 2 * 2)) height=$((height / 2 * 2))
fi
settingsFile="$(dirname -- "$plugin")/plugin.ini"
oneFrame() {
    awk -v d="$duration" -v f="$framesPerSecond" 'BEGIN { exit !(d * f < 1) }'
}

if [ "$engine" = native ]; then
    # The program does the rest in-process: decoding, drawing, encoding, the
    # progress, the partial file and the signals.
    if [ ! -x "$nativeExe" ]; then
        echo "-- building dist/ first" >&2
        "$here/build.sh" >&2
    fi
    options=(--module "$module" --size "${width}x${height}" --fps "$framesPerSecond" --start "$start")
    if [ -n "$duration" ]; then
        if oneFrame; then
            duration=$(awk -v f="$framesPerSecond" 'BEGIN { printf "%.6f", 1 / f }')
            note "--duration is less than one frame at $framesPerSecond frames a second: rendering one frame"
        fi
        options+=(--duration "$duration")
    fi
    [ ! -f "$settingsFile" ] || options+=(--settings "$settingsFile")
    exec env -u DISPLAY -u WAYLAND_DISPLAY "$nativeExe" --render "$song" -o "$out" "${options[@]}"
fi

# The packages are installed only when something they bring is missing: the
# tools, the 32-bit wine and GL that the host runs on.
tools=(ffmpeg ffprobe Xvfb wine wineserver)
files=(/usr/lib/wine/wine /usr/lib/i386-linux-gnu/dri/swrast_dri.so /usr/lib/i386-linux-gnu/libGLU.so.1)
missing=""
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || missing=1
done
for file in "${files[@]}"; do
    [ -e "$file" ] || missing=1
done
if [ -n "$missing" ]; then
    "$here/setup/deps.sh" >&2
else
    "$here/setup/i386-emulation.sh" >&2
fi
if [ ! -f "$hostExe" ] || [ ! -f "$plugin" ]; then
    echo "-- building dist/ first" >&2
    "$here/build.sh" >&2
fi

# Everything this run starts is ended on the way out, however it ends, and a
# signal during the cleaning does not cut it short.
tmp="" partial="" xvfb="" host="" encoder="" ticker="" child="" ownPrefix=""
signals=(HUP INT QUIT PIPE TERM)
cleanup() {
    local status=$?
    trap '' "${signals[@]}"
    # Nothing more is said: bash itself may complain of a child that a
    # "wait -n" has already reaped ("wait_for: No record of process").
    exec 2>/dev/null
    # Their output is thrown away: no need to let them finish it. ffmpeg
    # would otherwise wait for the end of the FIFO that this script holds.
    exec 3>&- || true
    for pid in $host $encoder $ticker $child; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    # The wine server is this run's alone: it and whatever still runs in it go.
    if [ -n "$ownPrefix" ]; then
        wineserver -k 2>/dev/null || true
        timeout 10 wineserver -w 2>/dev/null || true
    fi
    [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; } || true
    [ -z "$tmp" ] || rm -rf "$tmp"
    [ -z "$partial" ] || rm -f -- "$partial"
    exit "$status"
}
stopped() {
    trap '' "${signals[@]}"
    { echo; echo "render.sh: stopped by SIG$1"; } >&2 2>/dev/null || true
    exit $((128 + $(kill -l "$1")))
}
trap cleanup EXIT
for signal in "${signals[@]}"; do
    # shellcheck disable=SC2064
    trap "stopped $signal" "$signal"
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/brimrender.XXXXXX")
partial="$outdir/.$(basename -- "$out").partial.$$"
# Wine keeps its server's socket under TMPDIR.
export TMPDIR=$tmp

# A step long enough to be interrupted runs as a child that the cleaning ends.
runChild() {
    local status=0
    "$@" &
    child=$!
    wait "$child" || status=$?
    child=""
    return "$status"
}

# The song's audio, cut and made stereo 16-bit PCM at its own rate. Only
# when that fails does ffprobe say why: each start of either costs a tenth
# of a second, a twentieth of a short song's render.
# No seek at all from the start: after one, ffmpeg decodes nothing of a FLAC
# song shorter than one block.
cut=()
if awk -v s="$start" 'BEGIN { exit !(s > 0) }'; then
    cut=(-ss "$start")
fi
if [ -n "$duration" ] && oneFrame; then
    # One frame and the whole samples within it: ffmpeg would read a cut of
    # a few microseconds as no cut at all.
    songRate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 -- "$song")
    duration=$(awk -v r="${songRate:-0}" -v f="$framesPerSecond" 'BEGIN { printf "%.6f", (r > 0 ? int(r / f) / r : 0.5 / f) }')
    note "--duration is less than one frame at $framesPerSecond frames a second: rendering one frame"
fi
[ -z "$duration" ] || cut+=(-t "$duration")
if ! runChild ffmpeg -nostdin -v error "${cut[@]}" -i "$song" -map 0:a:0 -map_metadata -1 -ac 2 -c:a pcm_s16le \
    -fflags +bitexact -f wav "$tmp/song.wav" 2>"$tmp/decode.log"; then
    streams=$(ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 -- "$song" 2>"$tmp/probe.log") ||
        fail "cannot read the song: $(tail -n 1 "$tmp/probe.log")"
    [ -n "$streams" ] || fail "no audio stream in the song: $song"
    fail "cannot decode the song: $(tail -n 1 "$tmp/decode.log")"
fi
# Without the song's tags and with +bitexact, ffmpeg's header is "RIFF", a
# "fmt " chunk (the rate at its byte 4; 16 bytes, or 40 with the extensible
# format it takes above 48 kHz) and "data", whose samples run to the end.
header=$(od -An -v -t x1 -N 80 "$tmp/song.wav" | tr -d ' \n')
fmtSize=$((16#${header:38:2}${header:36:2}${header:34:2}${header:32:2}))
data=$((20 + fmtSize))
[ "${header:24:8}" = 666d7420 ] && [ "${header:$((2 * data)):8}" = 64617461 ] ||
    fail "cannot decode the song: ffmpeg wrote an unexpected WAV header"
rate=$((16#${header:54:2}${header:52:2}${header:50:2}${header:48:2}))
samples=$((($(stat -c %s "$tmp/song.wav") - data - 8) / 4))
((samples > 0)) || fail "nothing to render: no audio after --start $start"
seconds=$(awk -v n="$samples" -v r="$rate" 'BEGIN { printf "%.3f", n / r }')

# A virtual display of this run's own, big enough for the window: the
# user's DISPLAY may be gone, and the render needs none to be seen.
startDisplay() {
    # In a session of its own, so a Ctrl-C reaches this script, which ends it last.
    setsid Xvfb -displayfd 5 -screen 0 "$((width > 1200 ? width + 80 : 1280))x$((height > 900 ? height + 120 : 1024))x24" \
        -nolisten tcp 5>"$tmp/display" 2>"$tmp/xvfb.log" 3>&- &
    xvfb=$!
    for _ in $(seq 100); do
        [ -s "$tmp/display" ] && break
        kill -0 "$xvfb" 2>/dev/null || fail "cannot start Xvfb: $(tail -n 1 "$tmp/xvfb.log")"
        sleep 0.1
    done
    [ -s "$tmp/display" ] || fail "Xvfb gave no display"
    export DISPLAY=":$(head -n 1 "$tmp/display")"
}

# Wine runs in a prefix of this run's own that lends the shared prefix's
# Windows folder and registry: its server serves this run alone, so the run
# waits for no other's programs, and none that another started without a
# display can share it. The server saves a changed registry in place of the
# links, never into the shared prefix.
startWinePrefix() {
    local shared=${BRIM_WINEPREFIX:-$here/build/windows/wineprefix} name
    export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # A missing prefix is made, and one of an older wine (its stamp is the
    # time of wine.inf) brought up to date, in the shared files themselves.
    local inf=/usr/share/wine/wine.inf
    if [ ! -f "$shared/system.reg" ] ||
        { [ -f "$inf" ] && [ "$(cat "$shared/.update-timestamp" 2>/dev/null)" != "$(stat -c %Y "$inf")" ]; }; then
        WINEPREFIX=$shared "$here/cmake/wine-prefix.sh" >&2
    fi
    export WINEPREFIX=$tmp/prefix
    mkdir -p "$WINEPREFIX/dosdevices"
    for name in drive_c system.reg user.reg userdef.reg .update-timestamp; do
        ln -s "$shared/$name" "$WINEPREFIX/$name"
    done
    ln -s "$shared/drive_c" "$WINEPREFIX/dosdevices/c:"
    ln -s / "$WINEPREFIX/dosdevices/z:"
    ownPrefix=1
    # Ends as soon as its last program has.
    wineserver -p0 3>&-
}

windows() {
    local path=$1
    echo "Z:${path//\//\\}"
}

# The frames: brimhost.exe under wine runs the module on the song's clock
# and writes each frame raw into the FIFO.
startWineFrames() {
    startDisplay
    startWinePrefix
    # The plug-in runs from a copy, so the settings it saves on the way out do
    # not change the user's; it reads them from the copy of plugin.ini.
    mkdir "$tmp/plugin"
    cp -- "$plugin" "$tmp/plugin/"
    [ ! -f "$settingsFile" ] || cp -- "$settingsFile" "$tmp/plugin/"
    (cd "$tmp" && exec wine "$hostExe" --module "$module" --render-fps "$framesPerSecond" --size "${width}x${height}" \
        --wav "$(windows "$tmp/song.wav")" --raw-video "$(windows "$tmp/frames")" \
        "$(windows "$tmp/plugin/$(basename -- "$plugin")")" </dev/null >"$tmp/host.log" 2>&1 3>&-) &
    host=$!
}

# Frames go through a FIFO that this script also holds open, so neither side
# waits for the other to open it, and the encoder sees the end only when this
# script closes it after the frames have all been written. Nothing else may
# hold it: all that starts after this gets "3>&-".
mkfifo "$tmp/frames"
exec 3<>"$tmp/frames"
total=$(awk -v n="$samples" -v r="$rate" -v f="$framesPerSecond" 'BEGIN { t = n * f / r; c = int(t); if (c < t - 1e-9) c++; print c }')
raw=(-f rawvideo -pix_fmt bgr0 -video_size "${width}x${height}" -framerate "$framesPerSecond" -i "$tmp/frames")
if [ "$kind" = mp4 ]; then
    # Chosen by measuring a 20 s song at 640x480 on two cores: x264's ultrafast
    # with CABAC takes a quarter of veryfast's time for a file under twice its
    # size, and is as small as superfast at half its time; the fast AAC coder
    # and, for BGR0, chroma taken from one pixel of four save a third of what
    # is left. The encoder gets half the cores and the renderer the rest: x264
    # on all of them spends a tenth more time keeping its threads in step.
    encoderThreads=$(($(nproc) / 2))
    ffmpeg -nostdin -v error -progress "$tmp/progress" -stats_period 0.5 "${raw[@]}" -i "$tmp/song.wav" \
        -map 0:v -map 1:a -sws_flags neighbor -c:v libx264 -preset ultrafast \
        -x264-params "cabac=1:threads=$((encoderThreads > 0 ? encoderThreads : 1))" -crf 20 -pix_fmt yuv420p \
        -c:a aac -aac_coder fast -b:a 192k -movflags +faststart -f mp4 "$partial" 3>&- 2>"$tmp/encode.log" &
else
    ffmpeg -nostdin -v error -progress "$tmp/progress" -stats_period 0.5 "${raw[@]}" -c:v ffv1 \
        "$tmp/frames.mkv" 3>&- 2>"$tmp/encode.log" &
fi
encoder=$!

began=$EPOCHREALTIME
startWineFrames
producer=brimhost.exe

# One line redrawn while a terminal watches; a line a quarter otherwise.
progress() {
    awk -F= -v t="$total" -v e="$EPOCHREALTIME" -v b="$began" -v f="$framesPerSecond" -v tty="$1" -v last="$2" '
    $1 == "frame" { d = $2 }
    END {
        e -= b; w = 30; filled = t > 0 ? int(w * d / t) : 0
        bar = ""; for (i = 0; i < w; i++) bar = bar (i < filled ? "#" : "-")
        speed = e > 0 ? d / f / e : 0
        left = d > 0 ? (t - d) * e / d : 0
        line = sprintf("[%s] %d/%d frames  %.1fx real time  %d:%02d left", bar, d, t, speed, int(left / 60), int(left) % 60)
        if (tty) printf "\r%s", line > "/dev/stderr"
        else if (int(4 * d / t) > last) print line > "/dev/stderr"
        print int(4 * d / t)
    }' "$tmp/progress"
}
tty=0
[ ! -t 2 ] || tty=1
quarter=0
# This script waits for whichever ends first: the frames, the encoder, or a
# half-second tick that redraws the progress. The encoder ends only after
# this script has seen the frames end, and a signal cuts a wait short.
while :; do
    sleep 0.5 3>&- &
    ticker=$!
    status=0 ended=""
    wait -n -p ended "$host" "$encoder" "$ticker" || status=$?
    [ "$ended" = "$ticker" ] || break
    ticker=""
    [ ! -f "$tmp/progress" ] || quarter=$(progress "$tty" "$quarter")
done
kill "$ticker" 2>/dev/null || true
wait "$ticker" 2>/dev/null || true
ticker=""
if [ "$ended" = "$encoder" ]; then
    # The encoder gave up: nothing would read the host's frames any more.
    encoder=""
    fail "ffmpeg failed: $(tail -n 1 "$tmp/encode.log")"
fi
hostStatus=$status
host=""
exec 3>&-
if [ "$hostStatus" -ne 0 ]; then
    [ "$tty" -eq 0 ] || echo >&2
    fail "$producer failed (exit code $hostStatus): $(grep -m 1 "^${producer%.exe}: " "$tmp/host.log" || tail -n 1 "$tmp/host.log")"
fi
wait "$encoder" || fail "ffmpeg failed: $(tail -n 1 "$tmp/encode.log")"
encoder=""
[ ! -f "$tmp/progress" ] || progress "$tty" -1 >/dev/null
[ "$tty" -eq 0 ] || echo >&2

if [ "$kind" = gif ]; then
    # GIF delays are hundredths of a second: at most 25 frames a second keeps
    # them even. One palette for the whole clip, from the pixels that change.
    gifRate=$(awk -v f="$framesPerSecond" 'BEGIN { print (f > 25 ? 25 : f) }')
    runChild ffmpeg -nostdin -v error -i "$tmp/frames.mkv" -vf "fps=$gifRate,palettegen=stats_mode=diff" \
        "$tmp/palette.png" 2>"$tmp/encode.log" || fail "ffmpeg failed: $(tail -n 1 "$tmp/encode.log")"
    runChild ffmpeg -nostdin -v error -i "$tmp/frames.mkv" -i "$tmp/palette.png" \
        -lavfi "fps=$gifRate[clip];[clip][1:v]paletteuse=dither=bayer:bayer_scale=4:diff_mode=rectangle" \
        -loop 0 -f gif "$partial" 2>"$tmp/encode.log" || fail "ffmpeg failed: $(tail -n 1 "$tmp/encode.log")"
fi
mv -f -- "$partial" "$out"
finished=$EPOCHREALTIME

length=$(awk -v n="$total" -v f="$framesPerSecond" 'BEGIN { print n / f }')
bytes=$(stat -c %s -- "$out")
awk -v o="$out" -v b="$bytes" -v l="$length" -v s="$seconds" -v t0="$began" -v t1="$finished" 'BEGIN {
    printf "%s: %.1f MB, %.2f s", o, b / 1048576, l
    printf " (%.2f s of audio rendered in %.1f s, %.1fx real time)\n", s, t1 - t0, s / (t1 - t0)
}'
sed -n "s/^raw video: /   $producer: /p" "$tmp/host.log"
