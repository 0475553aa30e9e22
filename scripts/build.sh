#!/usr/bin/env bash
# Configures and builds the tree (program, tests, benchmarks) in build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${NEMBRA_BUILD:-$top/build}
# The test peers' port base: NEMBRA_PORT_BASE, else the tree's own free block.
base=$("$top/scripts/port-base.sh" "$build")
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
    -DNEMBRA_DEPS="$build/deps" -DNEMBRA_PORT_BASE:STRING="$base"
elif [ "$(sed -n 's/^NEMBRA_PORT_BASE:[A-Z]*=//p' "$build/CMakeCache.txt")" != "$base" ]; then
  cmake -S "$top" -B "$build" -DNEMBRA_PORT_BASE:STRING="$base"
fi
cmake --build "$build" -- -j"$(nproc)"
