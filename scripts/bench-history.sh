#!/usr/bin/env bash
# Drives the real Korvelink.exe under Wine with large history files: one
# letter typed over a 1 MiB history (the import cap) whose every title
# matches, the clean-history window and the history button over it, one
# letter over the largest history still loaded, and one over a 32 MiB file
# placed by hand. Prints, per measure, the seconds until the window answers
# again, the process's peak memory and whether the file is unchanged. Not a
# test; needs a build (scripts/build.sh) and a display (xvfb-run is used
# when there is none). BENCH_CAP sets the longest wait per measure in
# seconds (default 120).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
export KORVELINK_BUILD="${KORVELINK_BUILD:-$root/build}"
. "$here/wine-env.sh" ""

bench="$KORVELINK_BUILD/bin/HistoryBench.exe"
program="$KORVELINK_BUILD/bin/Korvelink.exe"
if [ ! -f "$bench" ] || [ ! -f "$program" ]; then
    echo "HistoryBench.exe or Korvelink.exe missing: run scripts/build.sh first" >&2
    exit 1
fi
[ -d "$WINEPREFIX" ] || bash "$here/wine-prefix.sh"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

work="$(mktemp -d /tmp/kv-history-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

wine "$bench" "Z:${program//\//\\}" "Z:${work//\//\\}" "${BENCH_CAP:-120}" | tr -d '\r'
wineserver -w
echo
echo "Goals: keystroke_1mib, clean_window_1mib and history_button_1mib under 1 s;"
echo "keystroke_32mib under 5 s with peak_ws_mib under 300 and file_unchanged=yes."
