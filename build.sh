#!/usr/bin/env bash
# Builds vis_brim.dll, brimhost.exe, the release zip and the installer, the
# native program brimwave, its GStreamer element and its Debian package into
# dist/, then runs each of the three modules in the host on its built-in
# signal, saves a picture of each, and renders a short GIF of each to a
# synthesized beat.
set -euo pipefail
cd "$(dirname "$0")"
setup/deps.sh

# With a display the windows show live; without one they run in Xvfb.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

# The native program: the modules on Linux, and render.sh's engine; and its package.
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j2 --target brimwave gstbrimwave brimwave_package_files
# The package is made anew, so that no other version's is left to copy.
rm -rf build/native/dist
(cd build/native && cpack >/dev/null)
rm -f dist/brimwave_*.deb
mkdir -p dist
cp build/native/brimwave build/native/dist/brimwave_*.deb dist/
# The GStreamer element, for GST_PLUGIN_PATH=dist without installing.
cp build/native/gstreamer/libgstbrimwave.so dist/
echo "-- dist/brimwave, dist/libgstbrimwave.so, dist/$(basename build/native/dist/brimwave_*.deb)"

cmake -S . -B build/windows --no-warn-unused-cli \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
# The packages are made anew, so that no other release's are left to copy.
rm -rf build/windows/dist
cmake --build build/windows -j2 --target vis_brim brimhost release
rm -f dist/brimwave-*
mkdir -p dist/pictures
cp build/windows/vis_brim.dll build/windows/host/brimhost.exe build/windows/dist/* dist/
echo "-- dist/vis_brim.dll, dist/brimhost.exe"
for package in build/windows/dist/*; do
    echo "-- dist/$(basename "$package") ($(stat -c %s "$package") bytes)"
done

export WINEPREFIX="$PWD/build/windows/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cmake/wine-prefix.sh

names=(rectangles spheres texture)
log=$(mktemp)
for module in 0 1 2; do
    # Output goes through a file: wine's background services would hold a pipe open.
    wine dist/brimhost.exe --module "$module" --frames 150 --fps 50 --size 640x480 \
        --snapshot "dist/pictures/${names[$module]}.png" dist/vis_brim.dll </dev/null >"$log" 2>&1 \
        || { cat "$log"; exit 1; }
    sed "s/^/   ${names[$module]}: /" "$log"
done
rm -f "$log"
wineserver -k || true

tools/make-song.sh dist/pictures/beat.wav 4
for module in 0 1 2; do
    ./render.sh dist/pictures/beat.wav "dist/pictures/${names[$module]}.gif" --module "$module" --size 320x240 \
        2>&1 | sed "s/^/   ${names[$module]}: /"
done
echo "-- pictures in dist/pictures/"
