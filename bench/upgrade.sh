#!/usr/bin/env bash
# Measures the firmware upgrade through the real stack (lighttpd, the host,
# the page library, the upgrade engine): a 256 MiB image streamed to
# "settings-upgrade&q=upgrade", against lighttpd itself taking the same body
# into a file (a CGI sink) in the same run, interleaved. Prints MiB/s of
# both, their ratio, and the host's memory before (VmRSS) and at its peak
# (VmHWM). Goals: ratio at least 0.5, growth under 4 MiB.
#
# usage: bench/upgrade.sh [--size MIB] [--rounds N]
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${PHONEWEB_BUILD:-$HERE/build-bench}
SIZE=256
ROUNDS=2
while [ $# -gt 0 ]; do
    case $1 in
        --size) SIZE=$2; shift 2 ;;
        --rounds) ROUNDS=$2; shift 2 ;;
        *) sed -n '10p' "$0" >&2; exit 2 ;;
    esac
done

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j2 --target phoneweb-host phoneweb mkfirmware >/dev/null

WORK=$(mktemp -d /tmp/phoneweb-upgrade-bench-XXXXXX)
WEB_PID=
cleanup() {
    if [ -n "$WEB_PID" ]; then kill -TERM "$WEB_PID" 2>/dev/null || true; wait "$WEB_PID" 2>/dev/null || true; fi
    rm -rf -- "$WORK"
}
trap cleanup EXIT

ROOT=$WORK/root
"$HERE/tools/install-root.sh" "$ROOT"
mkdir -p "$ROOT/cgi"

# The image inside a multipart body, as a browser sends it.
"$BUILD/tools/mkfirmware/mkfirmware" --size $((SIZE << 20)) 9.9.9.9 "$WORK/image.rom" >/dev/null
{
    printf -- '--BenchB\r\nContent-Disposition: form-data; name="firmware"; filename="image.rom"\r\n'
    printf 'Content-Type: application/octet-stream\r\n\r\n'
    cat "$WORK/image.rom"
    printf -- '\r\n--BenchB--\r\n'
} > "$WORK/body"
rm "$WORK/image.rom"

cat > "$ROOT/cgi/sink.cgi" <<SINK
#!/bin/sh
cat > "$WORK/sink.bin"
printf 'Status: 200\r\nContent-Type: text/plain\r\n\r\nok'
SINK
chmod +x "$ROOT/cgi/sink.cgi"

PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
{
    "$HERE/host/lighttpd-conf.sh" "$ROOT" "$PORT" "$BUILD/host/phoneweb-host" "$BUILD/libphoneweb.so"
    # The baseline: lighttpd takes the whole body into its own file first.
    echo 'server.modules += ( "mod_alias", "mod_cgi" )'
    echo "alias.url = ( \"/sink\" => \"$ROOT/cgi/sink.cgi\" )"
    echo '$HTTP["url"] =~ "^/sink" { cgi.assign = ( "" => "" ) server.max-request-size = 1048576 }'
} > "$WORK/lighttpd.conf"
PHONEWEB_ROOT=$ROOT lighttpd -D -f "$WORK/lighttpd.conf" 2>"$WORK/server.log" &
WEB_PID=$!
BASE=http://127.0.0.1:$PORT
for _ in $(seq 100); do curl -s -o /dev/null "$BASE/servlet?p=login&q=loginForm" && break; sleep 0.1; done
curl -s -c "$WORK/jar" -o /dev/null -d 'username=admin&pwd=admin&jumpto=status' "$BASE/servlet?p=login&q=login"

host_pid() {
    local stat
    for stat in /proc/[0-9]*/stat; do
        read -r pid comm _ ppid _ < "$stat" 2>/dev/null || continue
        [ "$ppid" = "$WEB_PID" ] && [ "$comm" = "(phoneweb-host)" ] && { echo "$pid"; return; }
    done
}
memory() { awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"; }
rate() {  # seconds -> MiB/s of the body
    awk -v s="$1" -v b="$(stat -c %s "$WORK/body")" 'BEGIN { printf "%.1f", b / 1048576 / s }'
}

curl -s -b "$WORK/jar" -o /dev/null "$BASE/servlet?p=settings-upgrade&q=load"
HOST=$(host_pid)
RSS_BEFORE=$(memory "$HOST" VmRSS)
for round in $(seq "$ROUNDS"); do
    sink=$(curl -s -o /dev/null -w '%{time_total}' -X POST -T "$WORK/body" \
                -H 'Content-Type: multipart/form-data; boundary=BenchB' "$BASE/sink")
    up=$(curl -s -b "$WORK/jar" -o "$WORK/answer" -w '%{time_total}' -X POST -T "$WORK/body" \
              -H 'Content-Type: multipart/form-data; boundary=BenchB' "$BASE/servlet?p=settings-upgrade&q=upgrade")
    [ ! -s "$WORK/answer" ] || { echo "bench: the upgrade failed: $(cat "$WORK/answer")" >&2; exit 1; }
    printf 'round %d: lighttpd to file %s MiB/s, upgrade %s MiB/s, ratio %s\n' "$round" \
        "$(rate "$sink")" "$(rate "$up")" "$(awk -v a="$sink" -v b="$up" 'BEGIN { printf "%.2f", a / b }')"
done
PEAK=$(memory "$HOST" VmHWM)
printf 'host memory: VmRSS before %d KiB, VmHWM after %d KiB, growth %d KiB (goal < 4096)\n' \
    "$RSS_BEFORE" "$PEAK" $((PEAK - RSS_BEFORE))
