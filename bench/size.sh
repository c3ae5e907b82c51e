#!/usr/bin/env bash
# Stripped sizes of the page library and the platform library, as shipped
# (Release) for the phone (armhf) and for the PC. Goal: libphoneweb.so under
# 2 MiB stripped on armhf.
#   bench/size.sh            print the sizes
#   bench/size.sh --record   also append a dated line to bench/sizes.txt
set -euo pipefail
cd "$(dirname "$0")/.."
HERE=$(pwd)
LIBS=(libphoneweb.so libphoneplatform.so)
GOAL=$((2 * 1024 * 1024))

record=0
case ${1:-} in
    --record) record=1 ;;
    "") ;;
    *) echo "usage: bench/size.sh [--record]" >&2; exit 2 ;;
esac

build_libs() {  # dir, extra cmake args...
    local dir=$1; shift
    cmake -S "$HERE" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPHONEWEB_TESTS=OFF "$@" >/dev/null
    cmake --build "$dir" -j2 --target phoneweb phoneplatform >/dev/null
}

# Prints the stripped size in bytes of a temporary copy (the build keeps its
# symbols).
stripped_size() {  # strip tool, library
    local copy
    copy=$(mktemp)
    "$1" -o "$copy" "$2"
    stat -c %s "$copy"
    rm -f "$copy"
}

"$HERE/tools/armhf.sh" deps
build_libs "$HERE/build-size-armhf" -DCMAKE_TOOLCHAIN_FILE="$HERE/cmake/armhf.cmake"
build_libs "$HERE/build-size-native"

line="$(date +%F) $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
status=0
for target in armhf native; do
    strip=strip
    [ "$target" = armhf ] && strip=arm-linux-gnueabihf-strip
    for lib in "${LIBS[@]}"; do
        size=$(stripped_size "$strip" "$HERE/build-size-$target/$lib")
        printf '%-6s %-22s %9d bytes (%d KiB)\n' "$target" "$lib" "$size" $((size / 1024))
        line+=" $target/$lib=$size"
        if [ "$target" = armhf ] && [ "$lib" = libphoneweb.so ] && [ "$size" -ge "$GOAL" ]; then
            echo "armhf libphoneweb.so is over the 2 MiB goal" >&2
            status=1
        fi
    done
done
if [ "$record" -eq 1 ]; then
    echo "$line" >>"$HERE/bench/sizes.txt"
    echo "recorded in bench/sizes.txt"
fi
exit "$status"
