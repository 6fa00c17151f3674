#!/usr/bin/env bash
# Runs a Windows program under wine in the test's own prefix (made from the
# template when missing). The X display is prepared by tests/run-wine-tests.sh.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}"
[ -f "$WINEPREFIX/system.reg" ] || "$(dirname "$0")/wine-prefix.sh" >&2 || exit 1
# Wine's background services inherit the program's output; give them a file,
# not the caller's pipe, or the caller waits for them to end.
log=$(mktemp)
wine "$@" </dev/null >"$log" 2>&1
status=$?
cat "$log"
rm -f "$log"
exit $status
