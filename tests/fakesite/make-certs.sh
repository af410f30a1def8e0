#!/usr/bin/env bash
# Makes the fake site's certificates into DIR (default
# $KORVELINK_BUILD/fakesite), unless they are already there:
#   ca.pem/ca.key        the test authority that the Wine prefix trusts
#   site.pem/site.key    the site's certificate, signed by it, for every host
#                        the site serves over TLS
#   rogue-ca.pem, rogue.pem/rogue.key   a certificate from an authority that
#                        nobody trusts, so tests can prove verification is real
# Nothing here touches the host's own trust store.
set -euo pipefail
dir="${1:-${KORVELINK_BUILD:?KORVELINK_BUILD or a folder is needed}/fakesite}"
[ -s "$dir/site.pem" ] && [ -s "$dir/rogue.pem" ] && exit 0
mkdir -p "$dir"
work="$(mktemp -d "$dir/.certs.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

# The hosts the site answers for with its trusted certificate.
hosts=(
    www.facebook.com m.facebook.com graph.facebook.com facebook.com
    www.fb.com fb.com video.xx.fbcdn.net scontent.xx.fbcdn.net
    "*.fbcdn.net" "*.xx.fbcdn.net"
)
san=""
for h in "${hosts[@]}"; do san="${san:+$san,}DNS:$h"; done

make_ca() {  # name subject
    openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 3650 \
        -keyout "$1.key" -out "$1.pem" -subj "$2" \
        -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -addext "subjectKeyIdentifier=hash" 2>/dev/null
}
make_leaf() {  # name ca subject san
    openssl req -new -newkey rsa:2048 -nodes -sha256 \
        -keyout "$1.key" -out "$1.csr" -subj "$3" 2>/dev/null
    cat > "$1.ext" <<EXT
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
subjectAltName=$4
EXT
    # Back-dated a day so a clock a little behind still accepts it.
    openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" \
        -set_serial "0x$(openssl rand -hex 12)" -sha256 -days 825 \
        -not_before "$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)" \
        -extfile "$1.ext" -out "$1.pem" 2>/dev/null ||
    openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" \
        -set_serial "0x$(openssl rand -hex 12)" -sha256 -days 825 \
        -extfile "$1.ext" -out "$1.pem" 2>/dev/null
}

make_ca ca "/O=Korvelink Tests/CN=Korvelink Fake Site Test CA $(date -u +%Y%m%d%H%M%S)"
make_leaf site ca "/O=Korvelink Tests/CN=www.facebook.com" "$san"
make_ca rogue-ca "/O=Korvelink Tests/CN=Untrusted Test CA"
make_leaf rogue rogue-ca "/O=Korvelink Tests/CN=rogue.fakesite.test" \
    "DNS:rogue.fakesite.test"

chmod 600 ./*.key
# Moved in one by one, the site certificate last, so a reader that sees
# site.pem sees the rest too.
for f in ca.key ca.pem rogue-ca.pem rogue.key rogue.pem site.key site.pem; do
    mv -f "$f" "$dir/$f"
done
echo "fake site certificates made in $dir"
