#!/usr/bin/env bash
# The key page through the real stack, logged in, against the bare FastCGI
# answer of the same size in the same run (wrk, interleaved rounds):
#   bare-page  - a test page answering as many bytes as the line-key page
#   linekey    - "dsskey" load of line-key page 1
#   bare-json  - a test page answering as many bytes as the type change
#   typechange - "dsskey" typeChanged of line key 3 to BLF
# Goals: linekey at least 0.5 of bare-page, typechange at least 0.7 of bare-json.
# Each is given twice: by requests per second (the median over the rounds of
# the ratio to the bare answer measured right before it), and by the host's own CPU time
# per request (user + system), which holds up on a machine busy with other
# work where the rates swing by a factor of two between rounds.
#
# usage: bench/dsskey.sh [--duration SECONDS] [--rounds N] [--connections N]
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$HERE/build-bench
DURATION=5
ROUNDS=2
CONNECTIONS=4
while [ $# -gt 0 ]; do
    case $1 in
        --duration) DURATION=$2; shift 2 ;;
        --rounds) ROUNDS=$2; shift 2 ;;
        --connections) CONNECTIONS=$2; shift 2 ;;
        *) sed -n '10p' "$0" >&2; exit 2 ;;
    esac
done
command -v wrk >/dev/null || { echo "bench: wrk is not installed" >&2; exit 1; }

. "$HERE/bench/stack.sh"
bench_setup dsskey-bench

# start_stack NAME LIBRARY [HOST_ARGS...]: the root is made like the demo's;
# sets STACK_PORT. Not run in a subshell, so that cleanup knows the pid.
start_stack() {
    local name=$1 library=$2 root=$WORK/$1 port; shift 2
    mkdir -p "$root"/phone/factory "$root"/config/data "$root"/config/system "$root"/tmp "$root"/dev
    cp -r "$HERE/www" "$root/phone/www"
    cp "$HERE/factory/config.cfg" "$HERE/factory/htpasswd" "$root/phone/factory/"
    cp "$HERE/factory/htpasswd" "$root/config/data/"
    cp -r "$HERE/factory/seed/." "$root/"
    port=$(free_port)
    "$HERE/host/lighttpd-conf.sh" "$root" "$port" "$HOST" "$library" "$@" > "$WORK/$name.conf"
    lighttpd -D -f "$WORK/$name.conf" >>"$WORK/$name.log" 2>&1 &
    PIDS+=($!)
    for _ in $(seq 200); do
        curl -s -o /dev/null "http://127.0.0.1:$port/" && break
        sleep 0.05
    done
    STACK_PORT=$port
}

host_cpu() {  # NAME: CPU ticks (user + system) of the host under that stack
    local lighttpd host
    lighttpd=$(pgrep -f -- "-f $WORK/$1.conf" | head -1)
    host=$(ps -o pid= --ppid "$lighttpd" | head -1 | tr -d ' ')
    awk '{print $14 + $15}' "/proc/$host/stat"
}

start_stack real "$BUILD/libphoneweb.so"
REAL_PORT=$STACK_PORT
"$BUILD/tools/phonesim/phonesim" --root "$WORK/real" >>"$WORK/sim.log" 2>&1 &
PIDS+=($!)
start_stack test "$BUILD/tests/integration/libtestpages.so" --page fixed=createTestFixedServlet
TEST_PORT=$STACK_PORT
sleep 0.5

REAL=http://127.0.0.1:$REAL_PORT/servlet
curl -s -c "$WORK/jar" -o /dev/null -d "username=admin&pwd=admin" "$REAL?p=login&q=login"
SESSION=$(awk '$6 == "sessionid" {print $7}' "$WORK/jar")
[ -n "$SESSION" ] || { echo "bench: no session" >&2; exit 1; }
COOKIE="Cookie: sessionid=$SESSION"
PAGE_URL="$REAL?p=dsskey&q=load&model=1"
JSON_URL="$REAL?p=dsskey&q=typeChanged&model=1&keyindex=3&dktype=16"
page_size=$(curl -s -H "$COOKIE" -o /dev/null -w '%{size_download}' "$PAGE_URL")
json_size=$(curl -s -H "$COOKIE" -o /dev/null -w '%{size_download}' "$JSON_URL")
[ "$page_size" -gt 10000 ] && [ "$json_size" -gt 100 ] || { echo "bench: the key page does not answer" >&2; exit 1; }

declare -A URLS=(
    [bare-page]="http://127.0.0.1:$TEST_PORT/servlet?p=fixed&size=$page_size"
    [linekey]=$PAGE_URL
    [bare-json]="http://127.0.0.1:$TEST_PORT/servlet?p=fixed&size=$json_size"
    [typechange]=$JSON_URL
)
KINDS=(bare-page linekey bare-json typechange)
echo "line-key page $page_size bytes, type change $json_size bytes; wrk -t1 -c$CONNECTIONS -d${DURATION}s, $ROUNDS rounds"
declare -A RPS TICKS COUNT STACK_OF RATIOS
last_bare=1
STACK_OF=([bare-page]=test [linekey]=real [bare-json]=test [typechange]=real)
for round in $(seq "$ROUNDS"); do
    for kind in "${KINDS[@]}"; do
        before=$(host_cpu "${STACK_OF[$kind]}")
        out=$(wrk -t1 -c"$CONNECTIONS" -d"${DURATION}s" -H "$COOKIE" "${URLS[$kind]}")
        after=$(host_cpu "${STACK_OF[$kind]}")
        rps=$(awk '/^Requests\/sec/ {print $2}' <<<"$out")
        count=$(awk '/requests in/ {print $1}' <<<"$out")
        errors=$(grep -E 'Non-2xx|Socket errors' <<<"$out" | tr '\n' ' ' || true)
        cpu=$(awk -v t=$((after - before)) -v n="$count" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.1f", t * 1e6 / hz / n}')
        printf 'round %d  %-10s %10s req/s  %6s us CPU/request %s\n' "$round" "$kind" "$rps" "$cpu" "$errors"
        RPS[$kind]="${RPS[$kind]:-} $rps"
        case $kind in  # each page against the bare answer measured right before it
            linekey) RATIOS[linekey]="${RATIOS[linekey]:-} $(awk -v a="$rps" -v b="$last_bare" 'BEGIN {printf "%.3f", a/b}')" ;;
            typechange) RATIOS[typechange]="${RATIOS[typechange]:-} $(awk -v a="$rps" -v b="$last_bare" 'BEGIN {printf "%.3f", a/b}')" ;;
            *) last_bare=$rps ;;
        esac
        TICKS[$kind]=$(( ${TICKS[$kind]:-0} + after - before ))
        COUNT[$kind]=$(( ${COUNT[$kind]:-0} + count ))
    done
done
mean() { awk '{s=0; for (i=1;i<=NF;i++) s+=$i; printf "%.0f", s/NF}' <<<"$1"; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR]=$1} END {printf "%.2f", NR % 2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
ratio() { median "${RATIOS[$1]}"; }
per() { awk -v t="${TICKS[$1]}" -v n="${COUNT[$1]}" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.1f", t * 1e6 / hz / n}'; }
cpu_ratio() { awk -v a="$(per "$2")" -v b="$(per "$1")" 'BEGIN {printf "%.2f", a/b}'; }
for pair in "linekey bare-page 0.5" "typechange bare-json 0.7"; do
    set -- $pair
    printf '%-10s %6s req/s, median ratio %s of bare; %s us CPU/request against %s = %s of bare (goal %s)\n' \
        "$1" "$(mean "${RPS[$1]}")" "$(ratio "$1" "$2")" "$(per "$1")" "$(per "$2")" "$(cpu_ratio "$1" "$2")" "$3"
done
