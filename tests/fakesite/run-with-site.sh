#!/usr/bin/env bash
# Runs CMD... with a fake site of its own and returns CMD's exit code:
#   tests/fakesite/run-with-site.sh [--routes FILE]... CMD [ARGS...]
# Makes the site's certificates and has the Wine prefix trust their test
# authority (once per prefix), starts fakesite.py on a free port of
# 127.0.0.1, and points WinInet at it through http_proxy, so the program
# reaches every site host over the real proxy and TLS path and nothing
# leaves the machine. Extra --routes tables take precedence over the shared
# routes.json. Exported to CMD:
#   http_proxy, https_proxy        http://127.0.0.1:PORT
#   KORVELINK_FAKESITE_PORT        PORT
#   KORVELINK_FAKESITE_LOG         the site's request log (Unix path)
# Several instances may run at once (ctest -j); each has its own site.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
. "$root/scripts/wine-env.sh" ""
export KORVELINK_BUILD

routes=()
while [ "${1:-}" = "--routes" ]; do
    routes+=(--routes "$2")
    shift 2
done
if [ $# -eq 0 ]; then
    echo "usage: $0 [--routes FILE]... CMD [ARGS...]" >&2
    exit 2
fi

dir="$KORVELINK_BUILD/fakesite"
mkdir -p "$dir/logs"

# Certificates and the prefix's trust in them, made once; parallel starts
# wait here for the first one.
(
    flock 9
    bash "$here/make-certs.sh" "$dir" >/dev/null
    fingerprint="$(openssl x509 -in "$dir/ca.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')"
    marker="$WINEPREFIX/.korvelink-fakesite-ca-$fingerprint"
    if [ ! -f "$marker" ]; then
        [ -f "$WINEPREFIX/system.reg" ] ||
            echo "run-with-site: no Wine prefix in $WINEPREFIX yet (scripts/wine-prefix.sh makes it)" >&2
        addroot="${KORVELINK_ADDROOTCERT:-$KORVELINK_BUILD/bin/AddRootCert.exe}"
        # wine may start the wineserver, which must not inherit the lock.
        wine "$addroot" "Z:${dir//\//\\}\\ca.pem" 9>&-
        touch "$marker"
    fi
) 9>"$dir/.lock"

name="$(basename "$1")"
for arg in "$@"; do
    case "$arg" in *.exe) name="$(basename "$arg" .exe)" ;; esac
done
log="$dir/logs/$name-$$.log"
port_file="$dir/logs/.port-$$"
rm -f "$port_file"

python3 "$here/fakesite.py" --certs "$dir" --port-file "$port_file" --log "$log" \
    --lifetime "${KORVELINK_FAKESITE_LIFETIME:-900}" --parent-pid $$ "${routes[@]}" \
    </dev/null >/dev/null 2>>"$log" &
site_pid=$!
stop_site() {
    kill "$site_pid" 2>/dev/null || true
    wait "$site_pid" 2>/dev/null || true
    rm -f "$port_file"
}
trap stop_site EXIT
trap 'exit 143' TERM INT HUP

for _ in $(seq 100); do
    [ -s "$port_file" ] && break
    kill -0 "$site_pid" 2>/dev/null || { echo "run-with-site: the fake site did not start" >&2; exit 1; }
    sleep 0.1
done
[ -s "$port_file" ] || { echo "run-with-site: the fake site did not report its port" >&2; exit 1; }
port="$(cat "$port_file")"

unset no_proxy NO_PROXY
export http_proxy="http://127.0.0.1:$port" https_proxy="http://127.0.0.1:$port"
export KORVELINK_FAKESITE_PORT="$port" KORVELINK_FAKESITE_LOG="$log"
set +e
"$@"
rc=$?
set -e
exit "$rc"
