#!/usr/bin/env bash
# Downloads one large file from a loopback HTTP server three ways in one
# run: the HTTP component under Wine with a progress handler (as the
# download window uses it), the same without one, and curl. Prints speed,
# the ratio to curl and peak memory. Not a test; needs a build
# (scripts/build.sh). BENCH_MIB sets the file size (default 256).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
export KORVELINK_BUILD="${KORVELINK_BUILD:-$root/build}"
. "$here/wine-env.sh"

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

results="$work/results.txt"
: >"$results"
check() {  # name file
    if cmp -s "$work/site/data.bin" "$2"; then echo "$1: file identical" >&2; else echo "$1: FILE DIFFERS" >&2; fi
    rm -f "$2"
}

for mode in progress noprogress; do
    out="$work/out-$mode.bin"
    line="$(wine "$bench" "$url" "Z:${out//\//\\}" "$mode" | tr -d '\r')"
    echo "$line" >&2
    mibps="$(sed -n 's/.* mibps=\([0-9.]*\).*/\1/p' <<<"$line")"
    peak="$(sed -n 's/.* peak_ws_mib=\([0-9.]*\).*/\1/p' <<<"$line")"
    echo "HttpBench-$mode $mibps $peak" >>"$results"
    check "HttpBench $mode" "$out"
done
wineserver -k 2>/dev/null || true

out="$work/out-curl.bin"
curl_line="$(/usr/bin/time -f '%M' -o "$work/curl-mem.txt" \
    curl -s --noproxy '*' -o "$out" -w '%{speed_download} %{time_total}' "$url")"
read -r curl_bps curl_time <<<"$curl_line"
curl_kib="$(tail -n 1 "$work/curl-mem.txt")"
echo "curl $(awk -v b="$curl_bps" 'BEGIN { printf "%.1f", b / 1048576 }') $(awk -v k="$curl_kib" 'BEGIN { printf "%.1f", k / 1024 }')" >>"$results"
echo "curl: ${curl_time}s" >&2
check curl "$out"

echo
echo "Download of $size_mib MiB from 127.0.0.1 (2050-byte reads in the component)"
awk '
    { name[NR] = $1; speed[NR] = $2; peak[NR] = $3; if ($1 == "curl") base = $2 }
    END {
        printf "%-24s %10s %14s %16s\n", "method", "MiB/s", "ratio to curl", "peak memory MiB"
        for (i = 1; i <= NR; i++)
            printf "%-24s %10.1f %14.3f %16.1f\n", name[i], speed[i], (base > 0 ? speed[i] / base : 0), peak[i]
    }' "$results"
