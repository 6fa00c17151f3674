#!/usr/bin/env bash
# Builds everything and runs the whole test suite: native, then Windows under wine.
set -euo pipefail
cd "$(dirname "$0")"
cmake/deps.sh

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j2
ctest --test-dir build/native --output-on-failure -j2

cmake -S . -B build/windows --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/windows -j2
tests/run-wine-tests.sh build/windows
