#!/usr/bin/env bash
# Test share: lines of test sources (tests/, fuzz/) against the other source lines.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
is_source() {
    case $1 in
        fuzz/corpus/*) return 1 ;;
        *.cpp | *.h | *.c | *.sh | *.js | *.mjs | *.css | *.htm | *.html | *.cmake | */CMakeLists.txt | CMakeLists.txt | run | */run) return 0 ;;
    esac
    return 1
}
tests=0 code=0
while IFS= read -r f; do
    [ -f "$f" ] || continue
    is_source "$f" || continue
    n=$(wc -l < "$f")
    case $f in
        tests/* | fuzz/*) tests=$((tests + n)) ;;
        *) code=$((code + n)) ;;
    esac
done < <(git ls-files)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "test lines %d, code lines %d, share %.2f\n", t, c, t / c }'
