#!/usr/bin/env bash
# Fills a phone root with the data of the settings pages:
#   factory/settings/install.sh ROOT
# Firmware side (replaced on every run): built-in ring tones and wallpapers,
# the time-zone table "/phone/factory/data/AutoDST.xml" made from this
# machine's time-zone database, and the image scaler
# "/phone/scripts/imageScale.sh". User side (only where missing): the
# softkey layouts, rule files and tone countries of factory/seed, a copy of
# the time-zone table in "/config/data/" and the user media folders.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { echo "usage: $0 ROOT" >&2; exit 2; }
ROOT=$1
[ -d "$ROOT" ] && [ "$(realpath -- "$ROOT")" != / ] || { echo "$0: no such root: $ROOT" >&2; exit 2; }

SOUNDS=$ROOT/phone/resource/sysdata/sound
WALLPAPERS=$ROOT/phone/resource/sysdata/wallpaper
mkdir -p "$SOUNDS" "$WALLPAPERS" "$ROOT/phone/factory/data" "$ROOT/phone/scripts" \
         "$ROOT/config/data" "$ROOT/data/userdata/sound" "$ROOT/data/userdata/wallpaper"

# The directory pages' scaler serves the wallpapers too once it is there;
# until then this folder's own, of the same contract.
SCALER=$HERE/../../tools/scripts/imageScale.sh
[ -f "$SCALER" ] || SCALER=$HERE/imageScale.sh
install -m 0755 "$SCALER" "$ROOT/phone/scripts/imageScale.sh"
"$HERE/mkautodst.sh" > "$ROOT/phone/factory/data/AutoDST.xml.new"
mv -f "$ROOT/phone/factory/data/AutoDST.xml.new" "$ROOT/phone/factory/data/AutoDST.xml"
[ -e "$ROOT/config/data/AutoDST.xml" ] || cp "$ROOT/phone/factory/data/AutoDST.xml" "$ROOT/config/data/"

# Ring tones: 8 kHz, 8-bit mono WAV, a few beeps each. Name, then pairs of
# frequency (Hz, 0 = pause) and length (ms).
ring() {
    local name=$1; shift
    LC_ALL=C awk -v spec="$*" 'BEGIN {
        n = split(spec, p, " "); rate = 8000; total = 0
        for (i = 1; i < n; i += 2) total += int(p[i + 1] * rate / 1000)
        le("RIFF", 0); u32(36 + total); le("WAVEfmt ", 0); u32(16); u16(1); u16(1)
        u32(rate); u32(rate); u16(1); u16(8); le("data", 0); u32(total)
        for (i = 1; i < n; i += 2) {
            count = int(p[i + 1] * rate / 1000)
            for (s = 0; s < count; s++) {
                # a short fade at both ends keeps the beep from clicking
                fade = s < 80 ? s / 80 : (count - s < 80 ? (count - s) / 80 : 1)
                v = p[i] > 0 ? 128 + 90 * fade * sin(2 * 3.14159265 * p[i] * s / rate) : 128
                printf "%c", int(v)
            }
        }
    }
    function le(text, unused) { printf "%s", text }
    function u16(v) { printf "%c%c", v % 256, int(v / 256) % 256 }
    function u32(v) { u16(v % 65536); u16(int(v / 65536)) }' > "$SOUNDS/$name"
}
ring Ring1.wav 440 400 480 400 0 200 440 400 480 400
ring Ring2.wav 660 250 0 100 660 250 0 100 880 500
ring Ring3.wav 523 200 659 200 784 200 1047 400
ring Ring4.wav 1000 150 0 150 1000 150 0 150 1000 150
ring Ring5.wav 392 300 330 300 262 600

# Wallpapers at the screen's 480 x 272, all from one ImageMagick run.
CONVERT=/usr/bin/convert
command -v magick >/dev/null && CONVERT=$(command -v magick)
W=$WALLPAPERS
"$CONVERT" -size 480x272 \
    gradient:'#1f4e79-#9dc3e6' -write "$W/pictures (01).png" +delete \
    gradient:'#2e7d32-#c5e1a5' -write "$W/pictures (02).png" +delete \
    gradient:'#ffb74d-#6a1b9a' -write "$W/pictures (03).png" +delete \
    radial-gradient:'#fafafa-#37474f' "$W/pictures (04).jpg" 2>/dev/null ||
    echo "$0: cannot make the wallpapers (ImageMagick missing?)" >&2
