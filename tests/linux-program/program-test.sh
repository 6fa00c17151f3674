# Sourced by brimwave's shell tests with the program and a name: the program
# under test, a scratch folder of the test's own holding its settings, the
# private sound server and the checks. When the test ends the caller's
# AtExit runs, then the server and the folder go.
brimwave=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/brim$2.XXXXXX")
source "$here/../private-pulse.sh"
source "$here/../check.sh"
AtExit() { :; }
trap 'AtExit; StopPulse; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"

# Pixels brighter than the background in a snapshot.
LitPixels() {
    ffmpeg -nostdin -v error -i "$1" -f rawvideo -pix_fmt gray - |
        python3 -c 'import sys; d = sys.stdin.buffer.read(); print(len(d) - sum(d.count(bytes([v])) for v in range(17)))'
}
# brimwave in a virtual X server of its own. xvfb-run's own temporary folder
# sometimes cannot be removed as it ends (exit 5): its authority file goes
# into the test's folder instead.
Show() {
    xvfb-run -a -f "$work/Xauthority" -s "-screen 0 1280x1024x24" "$brimwave" "$@"
}
