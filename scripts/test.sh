#!/usr/bin/env bash
# Sets up, builds and runs every test. Extra arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export NEMBRA_BUILD=${NEMBRA_BUILD:-$top/build}
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
"$top/scripts/wineprefix.sh" "$NEMBRA_BUILD"
cd "$NEMBRA_BUILD"
exec ctest --output-on-failure -j"$(nproc)" "$@"
