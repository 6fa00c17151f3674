#!/usr/bin/env bash
# Both render engines draw the same pictures: brimhost.exe with vis_brim.dll
# under wine, and brimwave natively through EGL without a display, for the
# same song, module, size, frame rate and plugin.ini.
#
# Tolerance: a colour channel may differ by 1, and at most 0.1% of a frame's
# pixels by more. Both engines run the same GL calls on the same Mesa release,
# but the DLL's side is Mesa's and GLU's 32-bit x86 build: a sphere's vertex
# or a texel boundary can land one rounding step apart and flip a few pixels
# along an edge, and a shade can round the other way.
# Usage: EngineParityTest.sh brimhost.exe vis_brim.dll (in the wine tests' prefix and display)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
host=$1 plugin=$2
[ -f "$WINEPREFIX/system.reg" ] || "$here/cmake/wine-prefix.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/brimparity.XXXXXX")
trap 'rm -rf "$work"' EXIT
width=240 height=180 fps=40

# The native program comes from the native build, made here when missing.
brimwave=$here/build/native/brimwave
if [ ! -x "$brimwave" ]; then
    cmake -S "$here" -B "$here/build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$here/build/native" -j2 --target brimwave >/dev/null
fi

"$here/tools/make-song.sh" "$work/song.wav" 2
mkdir "$work/plugin"
cp "$plugin" "$work/plugin/vis_brim.dll"
# Settings away from the defaults, so that both engines must read them.
ini='[Rectangles]\r\nvistype=0\r\nscalew=6000\r\n[Spheres]\r\ndetail=14\r\nfallspeed=30\r\n'
ini+='[Rectangle/Texture(prelim)]\r\nscales=300\r\n'
windows() { echo "Z:${1//\//\\}"; }

failures=0
for module in 0 1 2; do
    printf "$ini" >"$work/plugin/plugin.ini"
    printf "$ini" >"$work/plugin.ini"
    wine "$host" --module "$module" --render-fps "$fps" --size "${width}x${height}" --wav "$(windows "$work/song.wav")" \
        --raw-video "$(windows "$work/wine.raw")" "$(windows "$work/plugin/vis_brim.dll")" \
        </dev/null >"$work/host.log" 2>&1 || { cat "$work/host.log"; exit 1; }
    env -u DISPLAY -u WAYLAND_DISPLAY "$brimwave" --render "$work/song.wav" --raw-video "$work/native.raw" \
        --module "$module" --render-fps "$fps" --size "${width}x${height}" --settings "$work/plugin.ini"
    python3 - "$work/wine.raw" "$work/native.raw" "$width" "$height" "$module" <<'PY' || failures=$((failures + 1))
import sys
wine, native = (open(path, "rb").read() for path in sys.argv[1:3])
width, height, module = map(int, sys.argv[3:6])
frame_bytes = width * height * 4
frames = len(wine) // frame_bytes
if len(wine) != len(native) or frames != 80:
    sys.exit(f"module {module}: {len(wine)} bytes under wine, {len(native)} natively; 80 frames wanted")
worst_pixels, worst_step, lit = 0, 0, 0
for f in range(frames):
    a = wine[f * frame_bytes:(f + 1) * frame_bytes]
    b = native[f * frame_bytes:(f + 1) * frame_bytes]
    lit += any(a[i] for i in range(0, frame_bytes, 97))
    far = set()
    # Equal stretches are skipped whole; only differing ones are looked into.
    for start in range(0, frame_bytes, 4096):
        if a[start:start + 4096] == b[start:start + 4096]:
            continue
        for i in range(start, min(start + 4096, frame_bytes)):
            step = abs(a[i] - b[i])
            if i % 4 != 3 and step:
                worst_step = max(worst_step, step)
                if step > 1:
                    far.add(i // 4)
    worst_pixels = max(worst_pixels, len(far))
allowed = width * height // 1000
print(f"module {module}: {frames} frames, {lit} not black; at most {worst_pixels} pixels of a frame off by more "
      f"than 1 (allowed {allowed}); largest difference {worst_step}")
if lit < frames or worst_pixels > allowed:
    sys.exit(f"module {module}: the engines' pictures differ")
PY
done
[ "$failures" -eq 0 ] || { echo "FAILED: $failures module(s) differ"; exit 1; }
echo "ok: both engines draw the same pictures"
