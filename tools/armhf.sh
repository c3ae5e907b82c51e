#!/usr/bin/env bash
# The phone's own target, 32-bit ARM Linux (armhf): cross build and unit tests
# under qemu-arm.
#   tools/armhf.sh deps    install what is missing (idempotent, quiet)
#   tools/armhf.sh build   cross build into build-armhf
#   tools/armhf.sh test    deps + build + run unit_tests under qemu-arm
set -euo pipefail
cd "$(dirname "$0")/.."
HERE=$(pwd)
BUILD=$HERE/build-armhf
TRIPLET=arm-linux-gnueabihf

# The toolchain and emulator for the PC, the libraries for armhf (multiarch).
# SimpleIni is header-only, so the PC's copy serves both.
PACKAGES=(cmake ninja-build libsimpleini-dev g++-$TRIPLET qemu-user
          libc6:armhf libstdc++6:armhf libpugixml-dev:armhf libfcgi-dev:armhf
          libssl-dev:armhf libgtest-dev:armhf libcrypt-dev:armhf libarchive-dev:armhf)

missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
    done
}

cmd_deps() {
    local missing
    missing=$(missing_packages "${PACKAGES[@]}")
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "armhf: run as root to install: $missing" >&2
        exit 1
    fi
    echo "armhf: installing" $missing
    dpkg --print-foreign-architectures | grep -qx armhf || dpkg --add-architecture armhf
    export DEBIAN_FRONTEND=noninteractive
    local log
    log=$(mktemp)
    # shellcheck disable=SC2086
    if ! { apt-get update -qq && apt-get install -y -qq --no-install-recommends $missing; } >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        exit 1
    fi
    rm -f "$log"
}

# -O1 without NDEBUG: quick to compile, quick enough under the emulator, and
# the code's own checks stay on. No sanitizers: the native run has them.
cmd_build() {
    cmake -S "$HERE" -B "$BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$HERE/cmake/armhf.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE=-O1 -DCMAKE_CXX_FLAGS_RELEASE=-O1 \
        -DPHONEWEB_TESTS=ON -DPHONEWEB_UNIT_ONLY=ON -DPHONEWEB_WERROR=ON >/dev/null
    cmake --build "$BUILD" -j2
}

# Runs the one gtest binary directly (listing the cases per process would run
# the discovery under the emulator too) and ends with a plain count line.
cmd_test() {
    local start=$SECONDS t_deps t_build log rc passed failed
    cmd_deps
    t_deps=$((SECONDS - start))
    cmd_build
    t_build=$((SECONDS - start - t_deps))
    log=$BUILD/unit_tests.log
    rc=0
    (cd "$BUILD/tests" && GTEST_COLOR=no timeout 1500 qemu-arm ./unit_tests "$@") >"$log" 2>&1 || rc=$?
    # The output of each failed case, then gtest's closing summary.
    awk '/^\[ RUN      \]/ { block = $0; next }
         /^\[       OK \]/ { block = ""; next }
         /^\[  FAILED  \] .*\([0-9]+ ms\)$/ { print block; print; block = ""; next }
         /^\[==========\] .* ran\./ { summary = 1 }
         summary { print; next }
         block != "" { block = block "\n" $0 }' "$log"
    grep -q '^\[==========\] .* ran\.' "$log" || tail -n 20 "$log"
    passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n 1)
    failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n 1)
    echo "armhf: deps ${t_deps}s, build ${t_build}s, tests $((SECONDS - start - t_deps - t_build))s (log: ${log#"$HERE"/})"
    if [ "$rc" -ne 0 ] && [ -z "$failed" ]; then
        echo "armhf: unit_tests exited with status $rc" >&2
        failed=1
    fi
    echo "armhf: ${passed:-0} passed, ${failed:-0} failed"
    return "$rc"
}

case ${1:-} in
    deps) shift; cmd_deps "$@" ;;
    build) shift; cmd_deps; cmd_build "$@" ;;
    test) shift; cmd_test "$@" ;;
    *) echo "usage: tools/armhf.sh deps | build | test [gtest options]" >&2; exit 2 ;;
esac
