#!/usr/bin/env bash
# Downloads one large file from a loopback HTTP server with the HTTP
# component under Wine, with a progress handler (as the download window uses
# it) and without, and with the smallest loop of the same shape (a worker
# thread, 2050-byte blocking reads, WriteFile, and with progress a blocking
# SendMessage per read): the reference. Three rounds, the four runs of a
# round interleaved; prints each round's speeds and the component's ratio to
# the reference, then the median ratio, with peak memory and the C++
# allocations of the whole transfer. curl's speed is shown for scale.
# Not a test; needs a build (scripts/build.sh). BENCH_MIB sets the file size
# (default 256), BENCH_ROUNDS the number of rounds (default 3).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
export KORVELINK_BUILD="${KORVELINK_BUILD:-$root/build}"
. "$here/wine-env.sh" ""

bench="$KORVELINK_BUILD/bin/HttpBench.exe"
if [ ! -f "$bench" ]; then
    echo "HttpBench.exe missing: run scripts/build.sh first" >&2
    exit 1
fi
[ -d "$WINEPREFIX" ] || bash "$here/wine-prefix.sh"

size_mib="${BENCH_MIB:-256}"
work="$(mktemp -d /tmp/kv-bench.XXXXXX)"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/site"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/site/data.bin"
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
# Bounded: the server ends by itself even if this script is killed.
timeout 900 python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" >/dev/null 2>&1 &
server_pid=$!
url="http://127.0.0.1:$port/data.bin"
for _ in $(seq 100); do
    curl -s --noproxy '*' -o /dev/null "http://127.0.0.1:$port/" && break
    sleep 0.1
done

# Loopback must not go through a proxy.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY

rounds="${BENCH_ROUNDS:-3}"
results="$work/results.txt"
: >"$results"
check() {  # name file
    if ! cmp -s "$work/site/data.bin" "$2"; then echo "$1: FILE DIFFERS" >&2; fi
    rm -f "$2"
}

for round in $(seq "$rounds"); do
    for mode in progress noprogress; do
        # Alternate which loop goes first so neither always finds a warm server.
        loops="reference component"
        [ $((round % 2)) -eq 0 ] && loops="component reference"
        for loop in $loops; do
            out="$work/out-$loop-$mode.bin"
            line="$(wine "$bench" "$url" "Z:${out//\//\\}" "$mode" "$loop" | tr -d '\r')"
            echo "round $round: $line" >&2
            mibps="$(sed -n 's/.* mibps=\([0-9.]*\).*/\1/p' <<<"$line")"
            peak="$(sed -n 's/.* peak_ws_mib=\([0-9.]*\).*/\1/p' <<<"$line")"
            allocs="$(sed -n 's/.* allocations=\([0-9]*\).*/\1/p' <<<"$line")"
            echo "$round $loop $mode ${mibps:-0} ${peak:-0} ${allocs:--1}" >>"$results"
            check "$loop $mode" "$out"
        done
    done
done
wineserver -k 2>/dev/null || true

out="$work/out-curl.bin"
curl_line="$(curl -s --noproxy '*' -o "$out" -w '%{speed_download}' "$url")"
curl_mibps="$(awk -v b="$curl_line" 'BEGIN { printf "%.1f", b / 1048576 }')"
check curl "$out"

echo
echo "Download of $size_mib MiB from 127.0.0.1, 2050-byte reads; curl: $curl_mibps MiB/s"
awk '
    { speed[$1, $2, $3] = $4; peak[$1, $2, $3] = $5; allocs[$1, $2, $3] = $6; if ($1 > rounds) rounds = $1 }
    function median(a, n,    i, j, t) {
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    END {
        printf "%-6s %-11s %16s %16s %8s %18s %12s\n", "round", "mode", "component MiB/s", "reference MiB/s", "ratio", "peak MiB comp/ref", "comp allocs"
        split("progress noprogress", modes, " ")
        for (m = 1; m <= 2; m++) {
            mode = modes[m]
            for (r = 1; r <= rounds; r++) {
                c = speed[r, "component", mode]; f = speed[r, "reference", mode]
                ratio[r] = f > 0 ? c / f : 0
                printf "%-6d %-11s %16.1f %16.1f %8.3f %9.1f/%-8.1f %12d\n", r, mode, c, f, ratio[r], peak[r, "component", mode], peak[r, "reference", mode], allocs[r, "component", mode]
            }
            printf "median %-11s %42.3f\n", mode, median(ratio, rounds)
        }
    }' "$results"
