#!/usr/bin/env bash
# Runs the Windows test programs of a cross build under wine inside Xvfb.
# Usage: tests/run-wine-tests.sh <windows build dir> [ctest arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -e
    "$0/cmake/wine-prefix.sh"
    status=0
    ctest --test-dir "$1" --output-on-failure -j1 --timeout 300 "${@:2}" || status=$?
    wineserver -k || true
    exit $status
' "$here" "$build" "$@"
