#!/usr/bin/env bash
# Times the configuration export and import through the real stack (lighttpd,
# host, page library, phonesim) for a phone with 16 accounts, filled key
# files and 1000 contacts. Prints each round and the slowest; goal: each
# under 1 s.
#
# usage: bench/config.sh [--rounds N]   (PHONEWEB_BUILD picks another build)
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
ROUNDS=5
case ${1:-} in --rounds) ROUNDS=$2 ;; '') ;; *) sed -n '7p' "$0" >&2; exit 2 ;; esac
BUILD=${PHONEWEB_BUILD:-$HERE/build-bench}
if [ -z "${PHONEWEB_BUILD:-}" ]; then
    cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPHONEWEB_TESTS=OFF >/dev/null
    cmake --build "$BUILD" -j2 --target phoneweb-host phoneweb phonesim utrac >/dev/null
fi

WORK=$(mktemp -d /tmp/phoneweb-bench-config-XXXXXX)
ROOT=$WORK/root
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
PORT=$(free_port)
HTTPS_PORT=$(free_port)
DEMO=
cleanup() {
    [ -n "$DEMO" ] && kill -TERM "$DEMO" 2>/dev/null && wait "$DEMO" 2>/dev/null
    rm -rf -- "$WORK"
}
trap cleanup EXIT

# The phone's data: 16 accounts, three key files of 100 keys, 1000 contacts.
mkdir -p "$ROOT/config/system" "$ROOT/config/data" "$ROOT/config/user/voip"
echo 28 > "$ROOT/config/system/phonetype"
{
    echo "AccountNum=1"
    for a in $(seq 0 15); do
        for f in Enable Label DisplayName RegisterName UserName Password SIPServerHost Expire; do
            echo "Account$f.$a=value-$f-$a"
        done
    done
} > "$ROOT/config/system/config.cfg"
for kind in linekey memkey programkey; do
    {
        echo '<?xml version="1.0"?>'; echo "<$kind>"
        for k in $(seq 1 100); do echo "	<key id=\"$k\" type=\"15\" value=\"10$k\" label=\"Key $k\" line=\"1\"/>"; done
        echo "</$kind>"
    } > "$ROOT/config/data/$kind.xml"
done
{
    echo '<?xml version="1.0"?>'; echo '<contactData>'
    for c in $(seq 1 1000); do
        echo "	<item name=\"Contact $c\" office=\"+49 30 $((1000000 + c))\" mobile=\"0170$c\" other=\"\" ring=\"Auto\" group=\"All Contacts\"/>"
    done
    echo '</contactData>'
} > "$ROOT/config/data/contactData.xml"
for a in $(seq 0 15); do printf '[account]\nSIPServerHost=pbx%s.example.com\n' "$a" > "$ROOT/config/user/voip/sipAccount$a.cfg"; done

PHONEWEB_BUILD=$BUILD "$HERE/tools/demo.sh" --port "$PORT" --https-port "$HTTPS_PORT" --root "$ROOT" >"$WORK/demo.log" 2>&1 &
DEMO=$!
URL=http://127.0.0.1:$PORT/servlet
for _ in $(seq 50); do curl -s -o /dev/null "$URL?p=login&q=loginForm" && break; sleep 0.2; done

JAR=$WORK/cookies
login() { curl -s -o /dev/null -c "$JAR" -b "$JAR" -d "username=admin&pwd=admin&jumpto=status" "$URL?p=login&q=login"; }
slowest_export=0
slowest_import=0
for round in $(seq "$ROUNDS"); do
    login
    e=$(curl -s -b "$JAR" -o "$WORK/config.bin" -w '%{time_total}' -d exportForm=1 "$URL?p=settings-config&q=export")
    i=$(curl -s -b "$JAR" -o /dev/null -w '%{time_total}' -F "ConfigFileName=@$WORK/config.bin" "$URL?p=settings-config&q=import")
    echo "round $round: export ${e}s ($(stat -c %s "$WORK/config.bin") bytes), import ${i}s"
    slowest_export=$(python3 -c "print(max($slowest_export, $e))")
    slowest_import=$(python3 -c "print(max($slowest_import, $i))")
    sleep 0.5
done
echo "slowest: export ${slowest_export}s, import ${slowest_import}s (goal: each under 1 s)"
