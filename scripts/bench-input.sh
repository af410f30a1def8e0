#!/usr/bin/env bash
# Times the handling of oversized input under Wine: the caption scan of an
# 8 MiB page of links, a 1 MiB history loaded, filtered for one keystroke
# and filled, and the parse of a 1 MiB ini file of distinct sections. Prints
# one line per measure with its time and peak memory. Not a test; needs a
# build (scripts/build.sh).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
export KORVELINK_BUILD="${KORVELINK_BUILD:-$root/build}"
. "$here/wine-env.sh" ""

bench="$KORVELINK_BUILD/bin/InputBench.exe"
if [ ! -f "$bench" ]; then
    echo "InputBench.exe missing: run scripts/build.sh first" >&2
    exit 1
fi
[ -d "$WINEPREFIX" ] || bash "$here/wine-prefix.sh"

work="$(mktemp -d /tmp/kv-input-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

wine "$bench" "Z:${work//\//\\}" | tr -d '\r'
echo
echo "Goals: caption_scan under 1 s; history_* under 0.1 s each with peak_ratio under 3; ini_parse under 0.2 s."
