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
