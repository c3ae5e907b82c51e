#!/bin/sh
# Scales a picture for the phone's screen, keeping its aspect ratio:
#   imageScale.sh SOURCE WIDTH HEIGHT TARGET MAXBYTES
# and leaves the result in "/tmp/imageScale.out" (under PHONEWEB_ROOT):
# 1 written, 2 resolution too large, 3 not a picture or not written,
# 4 the result is larger than MAXBYTES (the target is then removed).
# File names are arguments, never shell text.
OUT="${PHONEWEB_ROOT:-}/tmp/imageScale.out"
result() { echo "$1" > "$OUT"; exit 0; }
[ $# -eq 5 ] || result 3
case "$2$3$5" in *[!0-9]*|'') result 3 ;; esac
CONVERT=/usr/bin/convert
IDENTIFY=/usr/bin/identify
if command -v magick >/dev/null 2>&1; then CONVERT="magick"; IDENTIFY="magick identify"; fi
size=$($IDENTIFY -format '%w %h\n' "$1" 2>/dev/null | head -n 1) || result 3
[ -n "$size" ] || result 3
set -- "$1" "$2" "$3" "$4" "$5" $size
# More than 64 megapixels would take the phone's memory.
[ $(( $6 * $7 )) -le 67108864 ] || { rm -f -- "$4"; result 2; }
$CONVERT "$1[0]" -resize "$2x$3>" -strip "$4" 2>/dev/null || { rm -f -- "$4"; result 3; }
bytes=$(wc -c < "$4") || result 3
[ "$bytes" -le "$5" ] || { rm -f -- "$4"; result 4; }
result 1
