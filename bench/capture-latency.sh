#!/usr/bin/env bash
# The native program's capture latency through a private PulseAudio server
# whose default output is a null sink: clicks played into it, timed until the
# frame loop sees them. Prints one line; asserts nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j2 --target capture_latency_bench >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/brimlatency.XXXXXX")
source tests/private-pulse.sh
trap 'StopPulse; rm -rf "$work"' EXIT
StartPulse
build/native/bench/capture_latency_bench
