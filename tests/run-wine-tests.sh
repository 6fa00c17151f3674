#!/usr/bin/env bash
# Runs the Windows test programs of a cross build under wine inside Xvfb.
# Usage: tests/run-wine-tests.sh <windows build dir> [ctest arguments...]
set -euo pipefail
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko install prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -e
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "-- creating wine prefix $WINEPREFIX"
        wineboot --init >/dev/null 2>&1
    fi
    wineserver -w
    status=0
    ctest --test-dir "$0" --output-on-failure -j1 "$@" || status=$?
    wineserver -k || true
    exit $status
' "$build" "$@"
