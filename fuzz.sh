#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with ASan and UBSan) and runs each for
# the given seconds (default 60), from its seeds in tests/fuzz/corpus and what
# earlier runs found in build/sanitize. Prints executions and coverage; exits
# non-zero when a target finds a fault, leaving the input beside its log.
set -euo pipefail
cd "$(dirname "$0")"
seconds="${1:-60}"
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: ./fuzz.sh [seconds per target]" >&2; exit 1; }
setup/deps.sh

build=build/sanitize
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIM_SANITIZE=ON >/dev/null
targets=(fuzz_wav_reader fuzz_host_options fuzz_placement)
cmake --build "$build" -j2 --target "${targets[@]}"

failed=0
for target in "${targets[@]}"; do
    corpus="${target#fuzz_}"
    out="$build/tests/fuzz"
    log="$out/$target.log"
    mkdir -p "$out/corpus/$corpus"
    if "$out/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$out/$corpus-" "$out/corpus/$corpus" "tests/fuzz/corpus/$corpus" >"$log" 2>&1; then
        result="no finding"
    else
        result="FOUND A FAULT: $(grep -m1 -o "Test unit written to .*" "$log" || echo "see the log"), log $log"
        failed=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    coverage=$(grep -o "cov: [0-9]* ft: [0-9]* corp: [0-9]*" "$log" | tail -n 1 || true)
    echo "$target: ${runs:-?} executions (${rate:-?}/s), $coverage inputs; $result"
done
exit "$failed"
