#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test under Wine in a
# private prefix. Ends with ctest's summary; exits non-zero on any failure.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export KORVELINK_BUILD="${KORVELINK_BUILD:-$(cd "$here/.." && pwd)/build}"

if [ "${1:-}" != "--inner" ]; then
    "$here/setup.sh"
    "$here/build.sh"
    if [ -z "${DISPLAY:-}" ]; then
        exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inner
    fi
    exec "$0" --inner
fi

. "$here/wine-env.sh"
stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
"$here/wine-prefix.sh"
cd "$KORVELINK_BUILD"
# The window and end-to-end tests run real input and timing through Wine and
# a virtual X server; a test program that fails is run once more, so only a
# fault that shows twice fails the run (ctest's summary says which).
ctest --output-on-failure --timeout 300 -j "$(nproc)" --repeat until-pass:2
