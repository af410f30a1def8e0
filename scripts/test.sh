#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test under Wine in
# the tests' own prefix inside the build tree. Ends with ctest's summary;
# exits non-zero on any failure.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export KORVELINK_BUILD="${KORVELINK_BUILD:-$(cd "$here/.." && pwd)/build}"
# Refuses, before anything is touched, a test prefix that would be the
# user's own.
. "$here/wine-env.sh" ""

if [ "${1:-}" != "--inner" ]; then
    "$here/setup.sh"
    "$here/build.sh"
    if [ -z "${DISPLAY:-}" ]; then
        exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inner
    fi
    exec "$0" --inner
fi

stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
"$here/wine-prefix.sh"
cd "$KORVELINK_BUILD"
# A test program that fails is run once more, so the run survives a fault
# of the machine (a Wine or X server hiccup); but a test that needed its
# second try is named plainly before ctest's summary, never passed in
# silence.
log="$KORVELINK_BUILD/Testing/test-run.log"
mkdir -p "$(dirname "$log")"
set +e
ctest --output-on-failure --timeout 300 -j "$(nproc)" --repeat until-pass:2 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
set -e
# ctest prints one result line per try: "[i/n ]Test #k: name ....   Passed".
retried="$(awk '{
        for (i = 2; i < NF; i++)
            if ($(i - 1) == "Test" && $i ~ /^#[0-9]+:$/) {
                name = $(i + 1)
                sub(/\.+$/, "", name)
                tries[name] = tries[name] (/\*\*\*/ ? "F" : / Passed/ ? "P" : "?")
            }
    }
    END { for (n in tries) if (tries[n] ~ /^F+P$/) print n }' "$log" | sort)"
if [ -n "$retried" ]; then
    echo
    echo "WARNING: these test programs FAILED their first try and passed only on the second:"
    printf '    %s\n' $retried
    echo "Their first output is above. ctest's summary once more:"
    echo
    sed -n '/^[0-9]*% tests passed/,$p' "$log"
fi
exit "$rc"
