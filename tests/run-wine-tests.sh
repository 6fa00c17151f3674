#!/usr/bin/env bash
# Runs the Windows test programs of a cross build under wine inside Xvfb, two
# at a time: each test has a wine prefix of its own (tests/wine/CMakeLists.txt
# names it), copied from one template made here, so side-by-side wine
# start-ups never share a server.
# Usage: tests/run-wine-tests.sh <windows build dir> [ctest arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
shift
export BRIM_WINE_TEMPLATE="$build/wineprefix-template" WINEARCH=win32 WINEDEBUG=-all
# No menu builder: the installer's Start-menu shortcut would otherwise put
# a menu entry into this machine's desktop, and the builder, started in the
# plug-in folder, keeps that folder from being deleted while it runs.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Tells the tests when the 32-bit side runs under qemu (setup/i386-emulation.sh),
# where a program also takes several times longer.
export BRIM_TEST_TIMEOUT=1200
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    export BRIM_I386_EMULATED=1 BRIM_TEST_TIMEOUT=2400
fi
# Every run starts from fresh copies of the template.
rm -rf "$build/wineprefixes"
# The authority file in the build folder: xvfb-run's own temporary folder
# sometimes cannot be removed as it ends, which fails the run (exit 5).
xvfb-run -a -f "$build/Xauthority" -s "-screen 0 1280x1024x24" bash -c '
    set -e
    WINEPREFIX=$BRIM_WINE_TEMPLATE "$0/cmake/wine-prefix.sh"
    status=0
    ctest --test-dir "$1" --output-on-failure -j2 --timeout "$BRIM_TEST_TIMEOUT" "${@:2}" || status=$?
    for prefix in "$1"/wineprefixes/*/; do
        [ ! -d "$prefix" ] || WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    done
    exit $status
' "$here" "$build" "$@"
