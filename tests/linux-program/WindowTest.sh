#!/usr/bin/env bash
# brimwave's window in a virtual X server, driven by synthetic input: it opens
# where the settings say; moves, sizes, HOME and END are saved; a double-click
# covers the screen and a second one brings the window back; M goes on to the
# next module, ESC ends the run, and the next run starts with the module
# shown last.
# Usage: WindowTest.sh path/to/brimwave
set -euo pipefail
# xvfb-run's own temporary folder sometimes cannot be removed as it ends
# (exit 5): its authority file is one of ours, removed on the way out.
if [ -z "${BRIM_XAUTHORITY:-}" ]; then
    BRIM_XAUTHORITY=$(mktemp "${TMPDIR:-/tmp}/brimwindow-auth.XXXXXX")
    export BRIM_XAUTHORITY
    status=0
    xvfb-run -a -f "$BRIM_XAUTHORITY" -s "-screen 0 1280x1024x24" "$0" "$@" || status=$?
    rm -f "$BRIM_XAUTHORITY"
    exit "$status"
fi
# Full screen is the window manager's to grant: a small one that knows it,
# with a frame, so that the saved place is seen to be the frame's. The
# server has no "fixed" font alias; it names the font evilwm asks for.
evilwm -fn '-misc-fixed-*' -bw 2 >/dev/null 2>&1 &
windowManager=$!
source "$(dirname "$0")/program-test.sh" "$1" window
AtExit() { kill "$windowManager"; }
ini="$XDG_CONFIG_HOME/brimwave/plugin.ini"
Geometry() {
    local X Y WIDTH HEIGHT shell
    shell=$(xdotool getwindowgeometry --shell "$1" 2>/dev/null) || { echo "no window"; return; }
    eval "$shell"
    echo "$X,$Y ${WIDTH}x$HEIGHT"
}
# Waits for the window to show the geometry, for a minute at the most.
Becomes() {
    local window=$1 wanted=$2
    for _ in $(seq 600); do
        [ "$(Geometry "$window")" = "$wanted" ] && return 0
        sleep 0.1
    done
    echo "   window at $(Geometry "$window"), not $wanted"
    return 1
}
DoubleClick() {
    xdotool mousemove --window "$1" 40 40 click --repeat 2 --delay 80 1
}
Key() {
    xdotool windowfocus --sync "$1" key --delay 50 "${@:2}"
}

StartPulse
mkdir -p "$XDG_CONFIG_HOME/brimwave"
printf '[Rectangles]\nscreen_x=100\nscreen_y=80\nscreen_w=400\nscreen_h=300\nvistype=1\nscales=500\n' >"$ini"
"$brimwave" --module 0 &
program=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Rectangles$' | head -1)
# The saved place is the frame's corner: the picture starts a border further in.
check "opens with its frame at the saved place, the picture at the saved size" Becomes "$window" "102,82 400x300"

xdotool windowmove --sync "$window" 200 150 windowsize --sync "$window" 500 360
Key "$window" End End End Home
DoubleClick "$window"
check "a double-click covers the screen" Becomes "$window" "0,0 1280x1024"
DoubleClick "$window"
check "a second one brings the window back" Becomes "$window" "200,150 500x360"

Key "$window" m
Shows() {
    timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" >/dev/null
}
check "M shows the next module" Shows Spheres
Key "$(xdotool search --onlyvisible --name '^Spheres$' | head -1)" Escape
status=0
timeout 60 tail --pid="$program" -f /dev/null || status=$?
wait "$program" || status=$?
check "ESC ends the run with exit code 0 (got $status)" [ "$status" -eq 0 ]

check "the place, size and HOME and END saved" \
    grep -qPz '\[Rectangles\]\nscreen_x=198\nscreen_y=148\nscreen_w=500\nscreen_h=360\nvistype=1\nscales=550' "$ini"
check "the Spheres section holds the Spheres' own defaults, none of the Rectangles' values" \
    grep -qPz '\[Spheres\]\nscreen_x=50\nscreen_y=50\nscreen_w=640\nscreen_h=480\nvistype=1\nfallspeed=77\nscales=500\nscalew=10000\ndetail=10\nlines=0' "$ini"

"$brimwave" --seconds 3 &
program=$!
check "the next run starts with the module shown last" Shows Spheres
check "and where it was left" Becomes "$(xdotool search --onlyvisible --name '^Spheres$' | head -1)" "52,52 640x480"
wait "$program"

# A closed terminal (SIGHUP), Ctrl-C or SIGTERM ends the run as ESC does:
# the settings saved, exit code 0.
for signal in INT TERM HUP; do
    rm -f "$ini"
    "$brimwave" --module 2 --seconds 60 &
    program=$!
    Shows 'Rectangle/Texture\(prelim\)'
    kill -"$signal" "$program"
    status=0
    wait "$program" || status=$?
    check "SIG$signal ends the run with exit code 0 (got $status)" [ "$status" -eq 0 ]
    check "SIG$signal: the settings saved" grep -q '^\[Rectangle/Texture(prelim)\]' "$ini"
done

[ "$failures" -eq 0 ] || cat "$ini"
CheckedAll
