#!/usr/bin/env bash
# Cross-builds libjpeg-turbo (static, no SIMD) from Debian's source package into $1/libjpeg.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps=$1
prefix=$deps/libjpeg
[ -f "$prefix/lib/libjpeg.a" ] && exit 0
mkdir -p "$deps/src"
cd "$deps/src"
if ! ls -d libjpeg-turbo-*/ >/dev/null 2>&1; then
  apt-get source -q --download-only libjpeg-turbo
  dpkg-source -x --skip-patches libjpeg-turbo_*.dsc >/dev/null
fi
srcdir=$(ls -d "$deps"/src/libjpeg-turbo-*/ | head -1)
rm -rf "$deps/libjpeg-build"
cmake -S "$srcdir" -B "$deps/libjpeg-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_JAVA=OFF -Wno-dev >/dev/null
cmake --build "$deps/libjpeg-build" >/dev/null
cmake --install "$deps/libjpeg-build" >/dev/null
