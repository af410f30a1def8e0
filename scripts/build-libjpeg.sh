#!/usr/bin/env bash
# Builds a static libjpeg for the 32-bit Windows target from Debian's
# libjpeg-turbo source package. The result is cached under DEPS/libjpeg.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
deps="$(mkdir -p "$1" && cd "$1" && pwd)"
prefix="$deps/libjpeg/install"
[ -f "$prefix/lib/libjpeg.a" ] && exit 0

mkdir -p "$deps/src"
src="$(ls -d "$deps"/src/libjpeg-turbo-*/ 2>/dev/null | head -n1 || true)"
if [ -z "$src" ] || [ ! -f "$src/CMakeLists.txt" ]; then
    (cd "$deps/src" && apt-get source -q libjpeg-turbo >/dev/null)
    src="$(ls -d "$deps"/src/libjpeg-turbo-*/ | head -n1)"
fi

cmake -S "$src" -B "$deps/libjpeg/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/toolchain-i686-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF >/dev/null
cmake --build "$deps/libjpeg/build" >/dev/null
cmake --install "$deps/libjpeg/build" >/dev/null
echo "libjpeg built into $prefix"
