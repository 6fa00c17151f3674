#!/usr/bin/env bash
# The Debian package as a desktop would install it: the program, its menu
# entry and icon, its manual and copyright, the GStreamer element where
# GStreamer finds it, the libraries they need by their package names, and no
# lintian errors nor unneeded sections (its warnings are printed).
# Usage: DebianPackageTest.sh path/to/CPackConfig.cmake
set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/brimdeb.XXXXXX")
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../check.sh"
Absent() { ! grep -q "$1" "$2"; }

cpack --config "$1" -B "$work" >/dev/null
package=$(ls "$work"/brimwave_*_amd64.deb)
dpkg-deb -c "$package" | awk '{ print $6 }' >"$work/files"
for file in ./usr/bin/brimwave ./usr/share/applications/brimwave.desktop \
    ./usr/share/icons/hicolor/48x48/apps/brimwave.png ./usr/share/doc/brimwave/copyright \
    ./usr/share/man/man1/brimwave.1.gz; do
    check "holds $file" grep -qx "$file" "$work/files"
done
depends=$(dpkg-deb -f "$package" Depends)
for library in libsdl2-2.0-0 libpulse0 libopengl0 libglu1-mesa libegl1 libgstreamer1.0-0 \
    libgstreamer-plugins-base1.0-0; do
    check "depends on $library" grep -q "$library" <<<"$depends"
done
dpkg-deb -x "$package" "$work/root"
check "the packaged program runs" "$work/root/usr/bin/brimwave" --list
plugins=./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/gstreamer-1.0
check "holds the GStreamer element" grep -qx "$plugins/libgstbrimwave.so" "$work/files"
GST_REGISTRY="$work/registry.bin" GST_PLUGIN_PATH="$work/root/$plugins" gst-inspect-1.0 brimwave \
    >"$work/inspect" 2>&1 || true
check "gst-inspect finds the packaged element" grep -q "Filename *$work/root/$plugins/libgstbrimwave.so" "$work/inspect"
check "the element is a visualization" grep -q "Klass *Visualization" "$work/inspect"
lintianStatus=0
lintian --display-info --fail-on error "$package" >"$work/lintian" 2>&1 || lintianStatus=$?
grep -v "running with root privileges" "$work/lintian" || true
check "lintian finds no errors" [ "$lintianStatus" -eq 0 ]
# An info tag, that the package is built to avoid.
check "lintian reports no unneeded section (.comment)" Absent binary-has-unneeded-section "$work/lintian"

CheckedAll
