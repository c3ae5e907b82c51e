#!/usr/bin/env bash
# Serves the phone's web interface on 127.0.0.1 from a phone root folder:
#   tools/demo.sh [--port N] [--https-port N] [--root DIR]
# The root is made from factory/ and www/ on first use; later runs keep its
# configuration and refresh only the firmware side (templates, static files,
# factory defaults). Ctrl-C or SIGTERM stops everything it started.
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${PHONEWEB_BUILD:-$HERE/build}
PORT=8080
HTTPS_PORT=8443
ROOT=./demo-root

usage() { echo "usage: tools/demo.sh [--port N] [--https-port N] [--root DIR]" >&2; exit 2; }
while [ $# -gt 0 ]; do
    case $1 in
        --port) [ $# -ge 2 ] || usage; PORT=$2; shift 2 ;;
        --https-port) [ $# -ge 2 ] || usage; HTTPS_PORT=$2; shift 2 ;;
        --root) [ $# -ge 2 ] || usage; ROOT=$2; shift 2 ;;
        *) usage ;;
    esac
done
case $PORT$HTTPS_PORT in ''|*[!0-9]*) usage ;; esac
ROOT=$(realpath -m -- "$ROOT")
[ "$ROOT" != / ] || { echo "demo: the root may not be /" >&2; exit 2; }

SIM="$BUILD/tools/phonesim/phonesim"
HOST="$BUILD/host/phoneweb-host"
LIBRARY="$BUILD/libphoneweb.so"
UTRAC="$BUILD/tools/utrac/utrac"
for file in "$SIM" "$HOST" "$LIBRARY" "$UTRAC"; do
    [ -e "$file" ] || { echo "demo: $file is missing; run ./run build" >&2; exit 1; }
done
command -v lighttpd >/dev/null || { echo "demo: lighttpd is not installed; run ./run deps" >&2; exit 1; }

SIM_PID=
WEB_PID=
stop_all() {
    trap - INT TERM EXIT
    local pid
    for pid in $WEB_PID $SIM_PID; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in $WEB_PID $SIM_PID; do
        wait "$pid" 2>/dev/null || true
    done
    echo "demo: stopped"
}

"$HERE/tools/install-root.sh" "$ROOT" "$UTRAC"
CONF="$ROOT/tmp/lighttpd.conf"

trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The phone: phonesim (its other processes; its start is the boot) and the
# web server, which starts the host. The web server's configuration is made
# at every boot: the server certificate in use may have changed.
start_phone() {
    PHONEWEB_HTTPS_PORT=$HTTPS_PORT "$HERE/host/lighttpd-conf.sh" "$ROOT" "$PORT" "$HOST" "$LIBRARY" > "$CONF"
    "$SIM" --root "$ROOT" &
    SIM_PID=$!
    local i
    for i in $(seq 50); do
        [ -e "$ROOT/tmp/phonesim/phonesim.pid" ] || ! kill -0 "$SIM_PID" 2>/dev/null && break
        sleep 0.1
    done
    lighttpd -D -f "$CONF" &
    WEB_PID=$!
}
start_phone

echo "demo: http://127.0.0.1:$PORT/servlet?p=status&q=load  (root $ROOT; Ctrl-C stops)"
echo "demo: https://127.0.0.1:$HTTPS_PORT/servlet?p=status&q=load  (the phone's self-signed certificate)"
# phonesim ends with status 3 when the phone restarts (reboot, factory reset,
# upgrade): the web side goes down with it and everything starts again, as
# on the phone. Anything else ending ends the demo.
while :; do
    ENDED=
    STATUS=0
    wait -n -p ENDED "$SIM_PID" "$WEB_PID" || STATUS=$?
    [ "$ENDED" = "$SIM_PID" ] && [ "$STATUS" -eq 3 ] || break
    echo "demo: the phone restarts"
    kill -TERM "$WEB_PID" 2>/dev/null || true
    wait "$WEB_PID" 2>/dev/null || true
    SIM_PID=
    WEB_PID=
    sleep 1
    start_phone
done
