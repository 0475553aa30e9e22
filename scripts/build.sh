#!/usr/bin/env bash
# Configures and builds the tree (program, tests, benchmarks) in build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${NEMBRA_BUILD:-$top/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
    -DNEMBRA_DEPS="$build/deps" ${NEMBRA_PORT_BASE:+-DNEMBRA_PORT_BASE=$NEMBRA_PORT_BASE}
fi
cmake --build "$build" -- -j"$(nproc)"
