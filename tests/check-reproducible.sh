#!/usr/bin/env bash
# Builds the DLL and the release packages again from scratch, in another
# folder, and compares them byte for byte with those of the given build.
# Usage: tests/check-reproducible.sh <windows build dir>
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
first=$(cd "$1" && pwd)
second="$first/reproducible"
rm -rf "$second"
cmake -S "$here" -B "$second" --no-warn-unused-cli \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$second" -j2 --target release >/dev/null
status=0
for file in vis_brim.dll dist/brimwave-*-win32.zip dist/brimwave-*-setup.exe; do
    for build in "$first" "$second"; do
        [ -f "$build"/$file ] || { echo "missing: $build/$file"; exit 1; }
    done
    name=$(basename "$first"/$file)
    if cmp "$first"/$file "$second"/$file; then
        echo "same bytes: $name ($(stat -c %s "$first"/$file) bytes)"
    else
        status=1
    fi
done
rm -rf "$second"
exit $status
