#!/usr/bin/env bash
# Measures where a frame's time goes and prints one table: every module in
# the host against the bare frame of a reference plug-in, start-up, and the
# plug-in's own work without GL. Asserts nothing; exits 0 when all ran.
set -euo pipefail
cd "$(dirname "$0")"
setup/deps.sh

# All runs share one X server, so the ratios compare like with like.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

rounds=3          # frame-rate runs, interleaved
seconds=5         # length of each frame-rate run, the first frame included
starts=10         # start-ups per plug-in module, interleaved

echo "-- building" >&2
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j2 --target plugin_work_bench >/dev/null
cmake -S . -B build/windows --no-warn-unused-cli \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/windows -j2 --target vis_brim bare_frame brimhost >/dev/null

# A prefix of its own, so the bench and the tests can run side by side.
export WINEPREFIX="$PWD/build/windows/bench-prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cmake/wine-prefix.sh
# One wine server for all runs, so no run pays for starting it.
wineserver -p
trap 'wineserver -k || true' EXIT

# Each set-up runs from a folder of its own with its own plugin.ini; the
# frame-rate runs resize their windows, the start-up runs keep them as opened.
scratch=build/windows/bench-run
rm -rf "$scratch"
results="$scratch/results.txt"
mkdir -p "$scratch"
PlugIn() {  # folder, DLL, plugin.ini text
    mkdir -p "$scratch/$1"
    cp "$2" "$scratch/$1/"
    printf '%b' "$3" >"$scratch/$1/plugin.ini"
}
for use in frames start; do
    PlugIn "$use-bare" build/windows/bench/bare_frame.dll ""
    PlugIn "$use-brim" build/windows/vis_brim.dll ""
done
for detail in 2 30; do
    PlugIn "frames-detail$detail" build/windows/vis_brim.dll "[Spheres]\r\ndetail=$detail\r\n"
done

# label | folder | DLL | module | client size
frameRuns=(
    "bare frame|frames-bare|bare_frame.dll|0|640x480"
    "Rectangles|frames-brim|vis_brim.dll|0|640x480"
    "Spheres (detail 10)|frames-brim|vis_brim.dll|1|640x480"
    "Rectangle/Texture|frames-brim|vis_brim.dll|2|640x480"
    "Spheres, detail 2|frames-detail2|vis_brim.dll|1|640x480"
    "Spheres, detail 30|frames-detail30|vis_brim.dll|1|640x480"
    "bare frame|frames-bare|bare_frame.dll|0|1280x960"
    "Rectangles|frames-brim|vis_brim.dll|0|1280x960"
    "Spheres (detail 10)|frames-brim|vis_brim.dll|1|1280x960"
    "Rectangle/Texture|frames-brim|vis_brim.dll|2|1280x960"
)
startRuns=(
    "bare frame|start-bare|bare_frame.dll|0"
    "Rectangles|start-brim|vis_brim.dll|0"
    "Spheres (detail 10)|start-brim|vis_brim.dll|1"
    "Rectangle/Texture|start-brim|vis_brim.dll|2"
)

log="$scratch/host.log"
Host() {  # folder, DLL, module, further options...
    # Output goes through a file: wine's background services would hold a pipe open.
    wine build/windows/host/brimhost.exe --module "$3" "${@:4}" "$scratch/$1/$2" </dev/null >"$log" 2>&1 \
        || { cat "$log" >&2; exit 1; }
}

echo "-- $rounds rounds of ${#frameRuns[@]} runs, $seconds s each, unpaced" >&2
for round in $(seq "$rounds"); do
    for run in "${frameRuns[@]}"; do
        IFS='|' read -r label folder dll module size <<<"$run"
        Host "$folder" "$dll" "$module" --no-sleep --seconds "$seconds" --size "$size"
        # The rate after the first frame: that one pays for GL's one-time work.
        # Left empty when the first frame took the whole run.
        fps=$(sed -n 's/^after the first frame: fps: \([0-9.]*\).*/\1/p' "$log")
        echo "frames|$round|$label|$size|$fps" >>"$results"
    done
done

echo "-- $starts start-ups of ${#startRuns[@]} plug-in modules" >&2
for start in $(seq "$starts"); do
    for run in "${startRuns[@]}"; do
        IFS='|' read -r label folder dll module <<<"$run"
        Host "$folder" "$dll" "$module" --no-sleep --frames 1
        times=$(sed -n 's/^start-up: Init \([0-9.]*\) ms, first frame \([0-9.]*\) ms.*/\1|\2/p' "$log")
        [ -n "$times" ] || { cat "$log" >&2; echo "bench: no start-up times from $label" >&2; exit 1; }
        echo "start|$start|$label|$times" >>"$results"
    done
done
echo "-- the plug-in's own work, natively" >&2
build/native/bench/plugin_work_bench --benchmark_format=json --benchmark_min_time=0.2 \
    --benchmark_repetitions=3 --benchmark_report_aggregates_only=true >"$scratch/native.json" 2>/dev/null

python3 bench/table.py "$results" "$scratch/native.json" "$(nproc)"
