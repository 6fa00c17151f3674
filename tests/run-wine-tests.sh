#!/usr/bin/env bash
# Runs the Windows test programs of a cross build under wine inside Xvfb.
# Usage: tests/run-wine-tests.sh <windows build dir> [ctest arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all
# No menu builder: the installer's Start-menu shortcut would otherwise put
# a menu entry into this machine's desktop, and the builder, started in the
# plug-in folder, keeps that folder from being deleted while it runs.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Tells the tests when the 32-bit side runs under qemu (setup/i386-emulation.sh),
# where a program also takes several times longer.
export BRIM_TEST_TIMEOUT=300
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    export BRIM_I386_EMULATED=1 BRIM_TEST_TIMEOUT=900
fi
# The authority file in the build folder: xvfb-run's own temporary folder
# sometimes cannot be removed as it ends, which fails the run (exit 5).
xvfb-run -a -f "$build/Xauthority" -s "-screen 0 1280x1024x24" bash -c '
    set -e
    "$0/cmake/wine-prefix.sh"
    status=0
    ctest --test-dir "$1" --output-on-failure -j1 --timeout "$BRIM_TEST_TIMEOUT" "${@:2}" || status=$?
    wineserver -k || true
    exit $status
' "$here" "$build" "$@"
