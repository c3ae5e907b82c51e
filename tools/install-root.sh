#!/bin/sh
# Lays out a phone root from the source tree, as the demo, the integration
# tests and the benchmarks use it:
#   tools/install-root.sh ROOT [UTRAC_BINARY]
# The firmware side (templates and static files under /phone/www, factory
# defaults, the screen capture tool /boot/bin/utrac) is replaced on every
# run; the user side (/config, /data, the stand-in devices, the certificates
# a new phone comes with) is only filled in where it is missing, so a root
# keeps its settings from run to run.
set -eu
[ $# -ge 1 ] && [ $# -le 2 ] || { sed -n '4p' "$0" >&2; exit 2; }
HERE=$(cd "$(dirname "$0")/.." && pwd)
ROOT=$1
UTRAC=${2:-}
[ -n "$ROOT" ] && [ "$ROOT" != / ] || { echo "install-root.sh: the root may not be '$ROOT'" >&2; exit 2; }

mkdir -p -- "$ROOT/phone/factory" "$ROOT/config/data" "$ROOT/config/system" \
            "$ROOT/data/userdata" "$ROOT/tmp" "$ROOT/dev"
rm -rf -- "$ROOT/phone/www"
cp -r -- "$HERE/www" "$ROOT/phone/www"
cp -- "$HERE/factory/config.cfg" "$HERE/factory/htpasswd" "$ROOT/phone/factory/"
[ -e "$ROOT/config/data/htpasswd" ] || cp -- "$HERE/factory/htpasswd" "$ROOT/config/data/htpasswd"
cp -R -n -- "$HERE/factory/seed/." "$ROOT/"
# The factory folder's entries name what a configuration export holds.
mkdir -p -- "$ROOT/phone/factory/system" "$ROOT/phone/factory/data" "$ROOT/phone/factory/user" \
            "$ROOT/phone/factory/certs"
if [ -n "$UTRAC" ]; then
    mkdir -p -- "$ROOT/boot/bin"
    cp -- "$UTRAC" "$ROOT/boot/bin/utrac.new"
    chmod 0755 -- "$ROOT/boot/bin/utrac.new"
    mv -f -- "$ROOT/boot/bin/utrac.new" "$ROOT/boot/bin/utrac"
fi
# The photo scaler is firmware too.
mkdir -p -- "$ROOT/phone/scripts"
cp -- "$HERE/tools/scripts/imageScale.sh" "$ROOT/phone/scripts/imageScale.sh.new"
chmod 0755 -- "$ROOT/phone/scripts/imageScale.sh.new"
mv -f -- "$ROOT/phone/scripts/imageScale.sh.new" "$ROOT/phone/scripts/imageScale.sh"
"$HERE/tools/mkcerts.sh" "$ROOT"
# Ring tones, wallpapers, the time-zone table and the image scaler.
"$HERE/factory/settings/install.sh" "$ROOT"
