#!/bin/sh
# Gives a phone root the certificates a new phone comes with, where they are
# missing: its own self-signed server certificate (certificate and key in one
# PEM file, presented over HTTPS until another is uploaded) and a few
# prefabricated CA certificates made for the demo.
#
# usage: tools/mkcerts.sh ROOT
set -eu
[ $# -eq 1 ] || { echo "usage: tools/mkcerts.sh ROOT" >&2; exit 2; }
root=${1%/}
dev="$root/config/certs/phonedev"
cas="$root/config/certs/phoneca"
mkdir -p "$dev" "$cas" "$root/config/certs/ca" "$root/config/certs/server"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# self_signed SUBJECT DAYS [OPTION...]: a new key and certificate in $work.
self_signed() {
    subject=$1 days=$2
    shift 2
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -sha256 \
        -days "$days" -subj "$subject" -keyout "$work/key.pem" -out "$work/cert.pem" "$@" 2>/dev/null
    cat "$work/cert.pem" "$work/key.pem" > "$work/both.pem"
}

if [ ! -s "$dev/WebServer.pem" ]; then
    self_signed "/CN=IP Phone/O=phoneweb demo" 3650 \
        -addext "subjectAltName=DNS:localhost,IP:127.0.0.1"
    install -m 0600 "$work/both.pem" "$dev/WebServer.pem"
fi
for name in "Demo Root CA" "Demo Provisioning CA" "Demo SIP CA"; do
    file="$cas/$(echo "$name" | tr ' ' '_').crt"
    [ -s "$file" ] && continue
    self_signed "/CN=$name/O=phoneweb demo" 7300 -addext "basicConstraints=critical,CA:TRUE"
    install -m 0644 "$work/cert.pem" "$file"
done
