#!/usr/bin/env bash
# Makes $WINEPREFIX ready for our programs; run with a display (Xvfb) present.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install prompts in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "-- creating wine prefix $WINEPREFIX"
    # Wine makes the folder itself, but not when it runs under an emulator.
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || { echo "wineboot failed in $WINEPREFIX" >&2; exit 1; }
fi
# Xvfb has no window manager: unmanaged windows close without waiting for one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wineserver -w
