#!/usr/bin/env bash
# Builds vis_brim.dll into dist/.
set -euo pipefail
cd "$(dirname "$0")"
cmake/deps.sh

cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/windows -j2 --target vis_brim
mkdir -p dist
cp build/windows/vis_brim.dll dist/
echo "-- dist/vis_brim.dll"
