#!/usr/bin/env bash
# Configures (once) and builds Korvelink and its tests into build/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${KORVELINK_BUILD:-$root/build}"

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DKORVELINK_DEPS="${KORVELINK_DEPS:-$build/deps}"
fi
cmake --build "$build" -- -k 0 "$@"
