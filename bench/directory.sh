#!/usr/bin/env bash
# Measures the local directory through the real stack (lighttpd, the host,
# the page library, phonesim) on 127.0.0.1:
#   - a CSV of 1000 contacts (names with commas, quotes, line breaks and
#     non-ASCII letters, 20 with photos): upload and preview, import, export,
#     each timed, and the host's memory around the import;
#   - the list page of a 1000-contact group against a bare FastCGI answer of
#     the same size, with wrk.
# usage: bench/directory.sh [--duration SECONDS] [--rounds N]
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$HERE/build-bench
DURATION=5
ROUNDS=2
while [ $# -gt 0 ]; do
    case $1 in
        --duration) DURATION=$2; shift 2 ;;
        --rounds) ROUNDS=$2; shift 2 ;;
        *) sed -n '9p' "$0" >&2; exit 2 ;;
    esac
done
command -v wrk >/dev/null || { echo "bench: wrk is missing (see bench/http.sh)" >&2; exit 1; }

. "$HERE/bench/stack.sh"
bench_setup dirbench

make_root() {
    "$HERE/tools/install-root.sh" "$1" >/dev/null
}

start_stack() {  # NAME LIBRARY [HOST_ARGS...]
    local name=$1 library=$2; shift 2
    local root=$WORK/$name port
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

host_kib() {  # NAME FIELD: VmRSS or VmHWM of the host under that stack's lighttpd
    local host
    host=$(ps -o pid= --ppid "$(cat "$WORK/$1.pid")" | head -1 | tr -d ' ')
    awk -v f="$2:" '$1 == f {print $2}' "/proc/$host/status"
}

make_root "$WORK/real"
make_root "$WORK/test"
"$BUILD/tools/phonesim/phonesim" --root "$WORK/real" >>"$WORK/sim.log" 2>&1 &
PIDS+=($!)
sleep 0.5
start_stack real "$BUILD/libphoneweb.so"
start_stack test "$BUILD/tests/integration/libtestpages.so" --page fixed=createTestFixedServlet
BASE="http://127.0.0.1:$(cat "$WORK/real.port")"
JAR=$WORK/cookies
curl -s -o /dev/null -c "$JAR" -b "$JAR" -d "username=admin&pwd=admin&jumpto=status" "$BASE/servlet?p=login&q=login"
curl -s -o /dev/null -b "$JAR" "$BASE/servlet?p=contactsbasic&q=load"   # the first page is loaded

python3 - "$WORK/list.csv" <<'PY'
import base64, struct, sys, zlib
def png(n):  # a small picture, different for each photo
    raw = b"".join(b"\0" + bytes([(n * 7 + x) % 256 for x in range(48 * 3)]) for _ in range(48))
    chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 48, 48, 8, 2, 0, 0, 0)) + \
        chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
names = ['"Doe, John {}"', '"Say ""hi"" {}"', '"Two\nlines {}"', "Zoë Ærøskøbing {}", "Plain {}"]
rows = ["display_name,office_number,mobile_number,other_number,line,ring,group_id_name,default_photo,photo_data"]
for i in range(1000):
    photo = "Config:p{}.png,{}".format(i, base64.b64encode(png(i)).decode()) if i % 50 == 0 else ","
    rows.append("{},{},+49 {},,{},Resource:Ring1.wav,{},{}".format(
        names[i % 5].format(i), i, i, i % 3, ["All Contacts", "Team", "Family"][i % 3], photo))
open(sys.argv[1], "w", encoding="utf-8", newline="").write("\ufeff" + "\r\n".join(rows) + "\r\n")
PY

timed() {  # prints seconds and the HTTP code of a curl call
    curl -sS -o "$WORK/answer" -b "$JAR" -c "$JAR" -w '%{time_total} %{http_code}\n' "$@" || true
}
rss_before=$(host_kib real VmRSS)
read -r t_upload c_upload < <(timed -F showtitle=1 -F "frameUploadCVSFile=@$WORK/list.csv" "$BASE/servlet?p=contacts-preview&q=uploadcvs")
rss_preview=$(host_kib real VmRSS)
read -r t_import c_import < <(timed -d "showtitle=1&arrcol=1,2,3,4,5,6,7,8,9" "$BASE/servlet?p=contacts-preview&q=importcsv")
rss_after=$(host_kib real VmRSS)
read -r t_export c_export < <(timed "$BASE/servlet?p=contacts-preview&q=exportcvs")
exported=$(($(grep -c $'\r$' "$WORK/answer") - 1))
printf 'upload and preview %6.3f s (HTTP %s)\n' "$t_upload" "$c_upload"
printf 'import             %6.3f s (HTTP %s)\n' "$t_import" "$c_import"
printf 'export             %6.3f s (HTTP %s, %s rows)\n' "$t_export" "$c_export" "$exported"
awk -v a="$t_upload" -v b="$t_import" -v c="$t_export" 'BEGIN {printf "round trip         %6.3f s (goal < 2 s)\n", a + b + c}'
echo "host VmRSS: $rss_before KiB before, $rss_preview KiB after the preview, $rss_after KiB after the import; growth $((rss_after - rss_before)) KiB (goal < 8192), peak VmHWM $(host_kib real VmHWM) KiB"

LIST_URL="$BASE/servlet?p=contactsbasic&q=load&num=50&group=0"
SIZE=$(curl -s -b "$JAR" "$LIST_URL" | wc -c)
FIXED_URL="http://127.0.0.1:$(cat "$WORK/test.port")/servlet?p=fixed&size=$SIZE"
COOKIE=$(awk '$0 !~ /^#/ && NF >= 7 {printf "%s=%s; ", $6, $7}' "$JAR")
echo "list page: $SIZE bytes; wrk -t1 -c8 -d${DURATION}s, $ROUNDS rounds"
declare -A RPS
for round in $(seq "$ROUNDS"); do
    for kind in fastcgi list; do
        url=$FIXED_URL
        [ "$kind" = list ] && url=$LIST_URL
        rps=$(wrk -t1 -c8 -d"${DURATION}s" -H "Cookie: $COOKIE" "$url" | awk '/^Requests\/sec/ {print $2}')
        printf 'round %d  %-8s %10s req/s\n' "$round" "$kind" "$rps"
        RPS[$kind]="${RPS[$kind]:-} $rps"
    done
done
mean() { awk '{s=0; for (i=1;i<=NF;i++) s+=$i; printf "%.0f", s/NF}' <<<"$1"; }
awk -v a="$(mean "${RPS[list]}")" -v b="$(mean "${RPS[fastcgi]}")" \
    'BEGIN {printf "list page %d req/s, bare FastCGI %d req/s: ratio %.2f (goal >= 0.5)\n", a, b, a / b}'
