#!/usr/bin/env bash
# Measures every page of the page table over HTTP with wrk, logged in:
#   load  - each page's "load" (acc=0 where a page is per account)
#   write - one "write" per page family (the name up to its first "-"),
#           posting back the values its own form shows (passwords left out)
# each as a ratio to the bare FastCGI answer (a test page through the same
# host) of the same size and method, measured right before it; the median of
# the rounds' ratios counts, so that other load on the machine cancels out.
# Pages whose factory the library does not export are skipped. Also the page
# host's memory (VmRSS) before and after. The results are printed and
# appended, dated, to bench/http-results.txt.
#
# usage: bench/http.sh [--duration SECONDS] [--rounds N] [--connections N] [--pages REGEX]
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$HERE/build-bench
RESULTS=$HERE/bench/http-results.txt
DURATION=2
ROUNDS=3
CONNECTIONS=4
PAGES='.*'
while [ $# -gt 0 ]; do
    case $1 in
        --duration) DURATION=$2; shift 2 ;;
        --rounds) ROUNDS=$2; shift 2 ;;
        --connections) CONNECTIONS=$2; shift 2 ;;
        --pages) PAGES=$2; shift 2 ;;
        *) sed -n '13p' "$0" >&2; exit 2 ;;
    esac
done

if ! command -v wrk >/dev/null; then
    echo "bench: installing wrk" >&2
    [ "$(id -u)" -eq 0 ] || { echo "bench: run as root to install wrk" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wrk >/dev/null
fi

# An optimised build with the test pages (the bare FastCGI answer).
. "$HERE/bench/stack.sh"
bench_setup bench

# start_stack NAME LIBRARY [HOST_ARGS...]: a root, lighttpd and its host.
start_stack() {
    local name=$1 library=$2; shift 2
    local root=$WORK/$name port
    "$HERE/tools/install-root.sh" "$root"
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

host_rss() {  # NAME: VmRSS (KiB) of the host under that stack's lighttpd
    local host
    host=$(ps -o pid= --ppid "$(cat "$WORK/$1.pid")" | head -1 | tr -d ' ')
    [ -n "$host" ] && awk '/^VmRSS/ {print $2}' "/proc/$host/status" || echo "?"
}

mkdir -p "$WORK/real"
"$HERE/tools/install-root.sh" "$WORK/real"
"$BUILD/tools/phonesim/phonesim" --root "$WORK/real" >>"$WORK/sim.log" 2>&1 &
PIDS+=($!)
start_stack bare "$BUILD/tests/integration/libtestpages.so" --page fixed=createTestFixedServlet
start_stack real "$LIBRARY"
BARE="http://127.0.0.1:$(cat "$WORK/bare.port")/servlet?p=fixed"
REAL="http://127.0.0.1:$(cat "$WORK/real.port")/servlet"

JAR=$WORK/cookies
curl -s -o /dev/null -c "$JAR" --data 'username=admin&pwd=admin&jumpto=status' "$REAL?p=login&q=login"
COOKIE=$(awk '(!/^#/ || /^#HttpOnly_/) && NF >= 7 {printf "%s%s=%s", sep, $6, $7; sep="; "}' "$JAR")
[ -n "$COOKIE" ] || { echo "bench: the login gave no session cookie" >&2; exit 1; }

# The pages of the page table whose factory the library exports.
exported=$(nm -D --defined-only "$LIBRARY" | awk '{print $3}')
mapfile -t TABLE < <(grep -o '{"[^"]*", "create[A-Za-z0-9_]*"}' "$HERE/host/pages.cpp" | tr -d '{}",' )
PAGE_LIST=()
for entry in "${TABLE[@]}"; do
    read -r page factory <<<"$entry"
    [[ $page =~ ^($PAGES)$ ]] || continue
    if grep -qx "$factory" <<<"$exported"; then
        PAGE_LIST+=("$page")
    else
        echo "bench: $page skipped ($factory not exported)" >&2
    fi
done

# The form fields of a page's answer, urlencoded, as the browser would post
# them back unchanged (password fields left out).
form_body() {
    python3 - "$1" <<'PY'
import html.parser, sys, urllib.parse
class Form(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(); self.fields = []; self.select = None; self.option = None; self.area = None
    def handle_starttag(self, tag, attrs):
        a = dict(attrs); name = a.get("name")
        if tag == "input" and name and a.get("type", "text") not in ("password", "submit", "button", "file", "reset"):
            if a.get("type") in ("checkbox", "radio") and "checked" not in a:
                return
            self.fields.append((name, a.get("value", "")))
        elif tag == "select" and name:
            self.select = [name, None, None]
        elif tag == "option" and self.select:
            value = a.get("value", "")
            if self.select[1] is None: self.select[1] = value
            if "selected" in a: self.select[2] = value
        elif tag == "textarea" and name:
            self.area = [name, ""]
    def handle_data(self, data):
        if self.area: self.area[1] += data
    def handle_endtag(self, tag):
        if tag == "select" and self.select:
            value = self.select[2] if self.select[2] is not None else self.select[1]
            if value is not None: self.fields.append((self.select[0], value))
            self.select = None
        elif tag == "textarea" and self.area:
            self.fields.append(tuple(self.area)); self.area = None
form = Form()
form.feed(open(sys.argv[1], encoding="utf-8", errors="replace").read())
print(urllib.parse.urlencode(form.fields))
PY
}

# A case: NAME METHOD URL [BODY_FILE]. Its answer's size sets the bare twin.
CASES=()
declare -A URL METHOD BODY SIZE CODE
add_case() {
    local name=$1 method=$2 url=$3 body=${4:-} out=$WORK/answer code
    if [ "$method" = POST ]; then
        code=$(curl -s -o "$out" -w '%{http_code}' -b "$COOKIE" --data-binary "@$body" "$url")
    else
        code=$(curl -s -o "$out" -w '%{http_code}' -b "$COOKIE" "$url")
    fi
    if [ "$code" != 200 ] && [ "$code" != 302 ]; then
        echo "bench: $name skipped (answers $code)" >&2
        return 0
    fi
    CASES+=("$name")
    URL[$name]=$url METHOD[$name]=$method BODY[$name]=$body CODE[$name]=$code
    SIZE[$name]=$(stat -c %s "$out")
}

declare -A FAMILY_DONE
for page in "${PAGE_LIST[@]}"; do
    add_case "load $page" GET "$REAL?p=$page&q=load&acc=0"
    cp "$WORK/answer" "$WORK/form-$page.html" 2>/dev/null || true
done
for page in "${PAGE_LIST[@]}"; do
    family=${page%%-*}
    [ -z "${FAMILY_DONE[$family]:-}" ] && [ -f "$WORK/form-$page.html" ] || continue
    body=$WORK/body-$page
    form_body "$WORK/form-$page.html" > "$body"
    before=${#CASES[@]}
    add_case "write $page" POST "$REAL?p=$page&q=write&acc=0" "$body"
    [ "${#CASES[@]}" -gt "$before" ] && FAMILY_DONE[$family]=1
done

# wrk NAME URL METHOD BODY_FILE: prints requests/s.
measure() {
    local url=$1 method=$2 body=$3 script=$WORK/wrk.lua
    {
        printf 'wrk.method = "%s"\n' "$method"
        printf 'wrk.headers["Cookie"] = "%s"\n' "$COOKIE"
        if [ "$method" = POST ]; then
            printf 'wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"\n'
            printf 'wrk.body = "%s"\n' "$(sed 's/\\/\\\\/g; s/"/\\"/g' "$body" | tr -d '\n')"
        fi
    } > "$script"
    wrk -t1 -c"$CONNECTIONS" -d"${DURATION}s" -s "$script" "$url" | awk '/^Requests\/sec/ {print $2}'
}

RSS_BEFORE=$(host_rss real)
declare -A PAGE_RPS BARE_RPS RATIO
for round in $(seq "$ROUNDS"); do
    for name in "${CASES[@]}"; do
        bare=$(measure "$BARE&size=${SIZE[$name]}" "${METHOD[$name]}" "${BODY[$name]}")
        own=$(measure "${URL[$name]}" "${METHOD[$name]}" "${BODY[$name]}")
        BARE_RPS[$name]="${BARE_RPS[$name]:-} $bare"
        PAGE_RPS[$name]="${PAGE_RPS[$name]:-} $own"
        RATIO[$name]="${RATIO[$name]:-} $(awk -v o="$own" -v b="$bare" 'BEGIN {printf "%.3f", (b > 0 ? o / b : 0)}')"
        printf 'round %d  %-28s %9s req/s  bare %9s req/s\n' "$round" "$name" "$own" "$bare" >&2
    done
done
RSS_AFTER=$(host_rss real)

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
{
    echo "# $(date -u '+%F %H:%M UTC') $(git -C "$HERE" rev-parse --short HEAD 2>/dev/null || echo unknown)," \
         "wrk -t1 -c$CONNECTIONS -d${DURATION}s, median of $ROUNDS interleaved rounds, $(nproc) cores" \
         "(shared with other work unless said otherwise)"
    for name in "${CASES[@]}"; do
        own=$(median "${PAGE_RPS[$name]}")
        bare=$(median "${BARE_RPS[$name]}")
        ratio=$(median "${RATIO[$name]}")
        awk -v n="$name" -v s="${SIZE[$name]}" -v c="${CODE[$name]}" -v o="$own" -v b="$bare" -v r="$ratio" \
            'BEGIN {printf "%-28s %7d bytes %s %9.0f req/s  bare %9.0f req/s  ratio %.2f\n", n, s, c, o, b, r}'
    done
    echo "host VmRSS before $RSS_BEFORE KiB, after $RSS_AFTER KiB"
} | tee -a "$RESULTS"
