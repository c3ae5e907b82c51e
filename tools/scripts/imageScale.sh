#!/bin/sh
# The phone's photo scaler:
#   imageScale.sh SOURCE WIDTH HEIGHT TARGET MAXBYTES
# Scales a JPEG, PNG or BMP picture to fit within WIDTH x HEIGHT, keeping its
# aspect ratio, and writes it to TARGET in the format its extension names.
# A picture that already fits is copied unchanged. Leaves the result in the
# phone root's /tmp/imageScale.out: 1 written, 2 too large (more than
# MAXBYTES bytes or 40 megapixels), 3 anything else.
# Installed as <root>/phone/scripts/imageScale.sh; the root is found from
# that place. File names arrive as arguments and are never evaluated.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT="$ROOT/tmp/imageScale.out"
mkdir -p "$ROOT/tmp"

finish() {
    echo "$1" > "$OUT"
    exit 0
}

[ $# -eq 5 ] || finish 3
SRC=$1 WIDTH=$2 HEIGHT=$3 TARGET=$4 MAXBYTES=$5
for n in "$WIDTH" "$HEIGHT" "$MAXBYTES"; do
    case $n in ''|*[!0-9]*) finish 3 ;; esac
done
[ -f "$SRC" ] || finish 3

if [ -x /usr/bin/magick ]; then
    CONVERT="/usr/bin/magick"
    IDENTIFY="/usr/bin/magick identify"
else
    CONVERT=/usr/bin/convert
    IDENTIFY=/usr/bin/identify
fi

SIZE=$(wc -c < "$SRC")
[ "$SIZE" -le "$MAXBYTES" ] || finish 2

# The coder is chosen by the content, never by ImageMagick's guessing: only
# these three formats are ever decoded.
MAGIC=$(head -c 8 "$SRC" | od -An -tx1 | tr -d ' \n')
case $MAGIC in
    ffd8*) IN=JPEG ;;
    89504e470d0a1a0a) IN=PNG ;;
    424d*) IN=BMP ;;
    *) finish 3 ;;
esac
case $TARGET in
    *.[jJ][pP][gG]|*.[jJ][pP][eE][gG]) OUTFMT=JPEG ;;
    *.[pP][nN][gG]) OUTFMT=PNG ;;
    *.[bB][mM][pP]) OUTFMT=BMP ;;
    *) finish 3 ;;
esac

DIMS=$($IDENTIFY -ping -format '%w %h' "$IN:$SRC[0]" 2>/dev/null) || finish 3
W=${DIMS% *}
H=${DIMS#* }
case "$W$H" in ''|*[!0-9]*) finish 3 ;; esac
[ $((W * H)) -le 40000000 ] || finish 2

if [ "$W" -le "$WIDTH" ] && [ "$H" -le "$HEIGHT" ] && [ "$IN" = "$OUTFMT" ]; then
    cp -- "$SRC" "$TARGET" || finish 3
else
    $CONVERT "$IN:$SRC[0]" -auto-orient -resize "${WIDTH}x${HEIGHT}>" -strip "$OUTFMT:$TARGET" 2>/dev/null || finish 3
fi
[ -s "$TARGET" ] || finish 3
finish 1
