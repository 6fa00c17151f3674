#!/usr/bin/env bash
# Builds everything and runs the whole test suite: native, native with the
# sanitizers and the fuzz targets, then Windows under wine.
set -euo pipefail
cd "$(dirname "$0")"
setup/deps.sh

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j2
ctest --test-dir build/native --output-on-failure -j2

# The unit tests again with ASan and UBSan, then each fuzz target for a short while.
cmake -S . -B build/sanitize -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIM_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j2 --target unit_tests fuzz_wav_reader fuzz_host_options fuzz_placement
build/sanitize/tests/unit/unit_tests --gtest_brief=1
ctest --test-dir build/sanitize -L fuzz --output-on-failure -j2

cmake -S . -B build/windows --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/windows -j2
tests/run-wine-tests.sh build/windows
