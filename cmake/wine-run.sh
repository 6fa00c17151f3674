#!/usr/bin/env bash
# Runs a Windows program under wine with the build tree's 32-bit prefix.
# The prefix and the X display are prepared by tests/run-wine-tests.sh.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}"
# Wine's background services inherit the program's output; give them a file,
# not the caller's pipe, or the caller waits for them to end.
log=$(mktemp)
wine "$@" </dev/null >"$log" 2>&1
status=$?
cat "$log"
rm -f "$log"
exit $status
