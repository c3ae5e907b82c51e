#!/usr/bin/env bash
# Measures the web stack on 127.0.0.1 with wrk, runs interleaved, each at
# least twice:
#   static  - a static file of the status page's size, served by lighttpd
#   fastcgi - the same number of bytes from a bare page through the host
#   status  - the status page itself (when the page library serves it)
# Prints requests/s, latency, the ratios to the static file, and the hosts'
# memory (VmRSS) before and after.
#
# usage: bench/http.sh [--duration SECONDS] [--rounds N] [--connections N]
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$HERE/build-bench
DURATION=5
ROUNDS=2
CONNECTIONS=8
while [ $# -gt 0 ]; do
    case $1 in
        --duration) DURATION=$2; shift 2 ;;
        --rounds) ROUNDS=$2; shift 2 ;;
        --connections) CONNECTIONS=$2; shift 2 ;;
        *) sed -n '10p' "$0" >&2; exit 2 ;;
    esac
done

if ! command -v wrk >/dev/null; then
    echo "bench: installing wrk" >&2
    [ "$(id -u)" -eq 0 ] || { echo "bench: run as root to install wrk" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wrk >/dev/null
fi

# An optimised build with the test pages (the bare FastCGI answer).
cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPHONEWEB_TESTS=ON >/dev/null
targets=(phoneweb-host phoneweb testpages)
grep -q 'phonesim' "$BUILD/build.ninja" && targets+=(phonesim)
cmake --build "$BUILD" -j2 --target "${targets[@]}" >/dev/null
HOST=$BUILD/host/phoneweb-host
SIM=$BUILD/tools/phonesim/phonesim

WORK=$(mktemp -d /tmp/phoneweb-bench-XXXXXX)
PIDS=()
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf -- "$WORK"
}
trap cleanup EXIT

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# A root laid out like the demo's: templates, static files, factory data.
make_root() {
    local root=$1
    mkdir -p "$root"/phone/factory "$root"/phone/www "$root"/config/data "$root"/config/system \
             "$root"/data/userdata "$root"/tmp "$root"/dev
    [ -d "$HERE/www" ] && cp -r "$HERE/www/." "$root/phone/www/"
    mkdir -p "$root/phone/www/htdocs"
    for f in config.cfg htpasswd; do
        [ -f "$HERE/factory/$f" ] && cp "$HERE/factory/$f" "$root/phone/factory/"
    done
    [ -f "$HERE/factory/htpasswd" ] && cp "$HERE/factory/htpasswd" "$root/config/data/"
    [ -d "$HERE/factory/seed" ] && cp -r "$HERE/factory/seed/." "$root/"
    return 0
}

# start_stack NAME LIBRARY [HOST_ARGS...]: prints the port.
start_stack() {
    local name=$1 library=$2; shift 2
    local root=$WORK/$name port
    make_root "$root"
    port=$(free_port)
    "$HERE/host/lighttpd-conf.sh" "$root" "$port" "$HOST" "$library" "$@" > "$WORK/$name.conf"
    PHONEWEB_ROOT=$root lighttpd -D -f "$WORK/$name.conf" >>"$WORK/$name.log" 2>&1 &
    PIDS+=($!)
    echo "$!" > "$WORK/$name.pid"
    for _ in $(seq 200); do
        curl -s -o /dev/null "http://127.0.0.1:$port/" && break
        sleep 0.05
    done
    echo "$port" > "$WORK/$name.port"
}

host_rss() {  # NAME: VmRSS of the host under that stack's lighttpd
    local lighttpd host
    lighttpd=$(cat "$WORK/$1.pid")
    host=$(ps -o pid= --ppid "$lighttpd" | head -1 | tr -d ' ')
    [ -n "$host" ] && awk '/^VmRSS/ {print $2 " KiB"}' "/proc/$host/status" || echo "?"
}

if [ -x "$SIM" ]; then
    mkdir -p "$WORK/real"
    make_root "$WORK/real"
    "$SIM" --root "$WORK/real" >>"$WORK/sim.log" 2>&1 &
    PIDS+=($!)
fi
start_stack test "$BUILD/tests/integration/libtestpages.so" --page fixed=createTestFixedServlet
start_stack real "$BUILD/libphoneweb.so"
TEST_PORT=$(cat "$WORK/test.port")
REAL_PORT=$(cat "$WORK/real.port")

STATUS_URL="http://127.0.0.1:$REAL_PORT/servlet?p=status&q=load"
status_code=$(curl -s -o "$WORK/status.html" -w '%{http_code}' "$STATUS_URL" || true)
if [ "$status_code" = 200 ]; then
    SIZE=$(stat -c %s "$WORK/status.html")
else
    echo "bench: the status page answers $status_code; measuring without it" >&2
    SIZE=8192
fi
head -c "$SIZE" /dev/zero | tr '\0' 'x' > "$WORK/test/phone/www/htdocs/static.html"
declare -A URLS=(
    [static]="http://127.0.0.1:$TEST_PORT/static.html"
    [fastcgi]="http://127.0.0.1:$TEST_PORT/servlet?p=fixed&size=$SIZE"
)
KINDS=(static fastcgi)
if [ "$status_code" = 200 ]; then
    URLS[status]=$STATUS_URL
    KINDS+=(status)
fi
for kind in "${KINDS[@]}"; do   # every answer is whole before measuring
    got=$(curl -s -o /dev/null -w '%{http_code} %{size_download}' "${URLS[$kind]}")
    echo "bench: $kind answers $got" >&2
done

echo "body size: $SIZE bytes; wrk -t1 -c$CONNECTIONS -d${DURATION}s, $ROUNDS rounds, interleaved"
echo "host RSS before: test pages $(host_rss test), page library $(host_rss real)"
declare -A RPS
for round in $(seq "$ROUNDS"); do
    for kind in "${KINDS[@]}"; do
        out=$(wrk -t1 -c"$CONNECTIONS" -d"${DURATION}s" --latency "${URLS[$kind]}")
        rps=$(awk '/^Requests\/sec/ {print $2}' <<<"$out")
        lat=$(awk '$1 == "Latency" {print $2; exit}' <<<"$out")
        p99=$(awk '$1 == "99%" {print $2; exit}' <<<"$out")
        errors=$(grep -E 'Non-2xx|Socket errors' <<<"$out" | tr '\n' ' ' || true)
        printf 'round %d  %-8s %10s req/s  latency avg %-8s p99 %-8s %s\n' "$round" "$kind" "$rps" "$lat" "$p99" "$errors"
        RPS[$kind]="${RPS[$kind]:-} $rps"
    done
done
echo "host RSS after:  test pages $(host_rss test), page library $(host_rss real)"

mean() { awk '{s=0; for (i=1;i<=NF;i++) s+=$i; printf "%.0f", s/NF}' <<<"$1"; }
static_mean=$(mean "${RPS[static]}")
for kind in "${KINDS[@]}"; do
    m=$(mean "${RPS[$kind]}")
    ratio=$(awk -v a="$m" -v b="$static_mean" 'BEGIN {printf "%.2f", a/b}')
    printf 'mean %-8s %10s req/s  (%s of static)\n' "$kind" "$m" "$ratio"
done
