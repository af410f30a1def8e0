#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test
# Korvelink, and builds libjpeg for the Windows target. Safe to run again:
# everything already present is skipped.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${KORVELINK_BUILD:-$here/../build}"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

apt_updated=0
apt_update_once() {
    if [ "$apt_updated" -eq 0 ]; then
        as_root apt-get update -q
        apt_updated=1
    fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    apt_update_once
fi

# The compilers of the win32 thread model (no libwinpthread, so the program
# keeps to what Windows XP exports); binutils for the import check.
packages=(
    wine wine32:i386 g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-tools
    fonts-wine fonts-liberation xvfb xauth cmake ninja-build dpkg-dev
    googletest libz-mingw-w64-dev python3 openssl curl
)
missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    apt_update_once
    as_root env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# libjpeg is built from Debian's own source package, so apt needs a
# deb-src entry for the release in use.
have_deb_src() {
    grep -rqsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null && return 0
    grep -rqsE '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources 2>/dev/null
}
if [ ! -f "$build/deps/libjpeg/install/lib/libjpeg.a" ]; then
    if ! have_deb_src; then
        . /etc/os-release
        as_root tee /etc/apt/sources.list.d/korvelink-deb-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${VERSION_CODENAME}
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
        apt_updated=0
    fi
    if ! ls "$build"/deps/src/libjpeg-turbo-*/CMakeLists.txt >/dev/null 2>&1; then
        apt_update_once
    fi
    "$here/build-libjpeg.sh" "$build/deps"
fi
