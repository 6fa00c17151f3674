#!/usr/bin/env bash
# Makes $WINEPREFIX ready for our programs; run with a display (Xvfb) present.
# With BRIM_WINE_TEMPLATE naming another prefix, a missing $WINEPREFIX is
# made as a copy of that one (itself made first when missing): seconds
# faster than wineboot, so each test can have a prefix, and a server, of its own.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install prompts in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
template=${BRIM_WINE_TEMPLATE:-}
if [ -n "$template" ] && [ "$template" != "$WINEPREFIX" ]; then
    [ ! -f "$WINEPREFIX/system.reg" ] || exit 0
    # Tests started side by side make a missing template once.
    (
        flock 9
        [ -f "$template/system.reg" ] || WINEPREFIX=$template BRIM_WINE_TEMPLATE= "$0"
    ) 9>"$template.lock"
    mkdir -p "$(dirname "$WINEPREFIX")"
    partial=$(mktemp -d "$WINEPREFIX.partial.XXXXXX")
    # Hard links for the Windows binaries, which nothing writes (half a
    # gigabyte); real copies of the rest, the registry and ini files that
    # wine rewrites in place.
    cp -al "$template/." "$partial/"
    find "$partial" -type f ! -iname '*.dll' ! -iname '*.exe' ! -iname '*.drv' ! -iname '*.sys' ! -iname '*.nls' \
        -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done' sh {} +
    # Another run that made it meanwhile wins.
    mv -T "$partial" "$WINEPREFIX" 2>/dev/null || rm -rf "$partial"
    exit 0
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "-- creating wine prefix $WINEPREFIX"
    # Wine makes the folder itself, but not when it runs under an emulator.
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || { echo "wineboot failed in $WINEPREFIX" >&2; exit 1; }
fi
# Xvfb has no window manager: unmanaged windows close without waiting for one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wineserver -w
