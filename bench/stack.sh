# Sourced by the benches that run the real stack (HERE and BUILD set):
#   bench_setup NAME  builds the host, the page library, the test pages and
#                     phonesim optimised, sets HOST and LIBRARY, and makes
#                     WORK, removed at the end with every process in PIDS.
#   free_port         prints a free TCP port of 127.0.0.1.

bench_setup() {
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake -S "$HERE" -B "$BUILD" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPHONEWEB_TESTS=ON >/dev/null
    cmake --build "$BUILD" -j2 --target phoneweb-host phoneweb testpages phonesim >/dev/null
    HOST=$BUILD/host/phoneweb-host
    LIBRARY=$BUILD/libphoneweb.so
    WORK=$(mktemp -d "/tmp/phoneweb-$1-XXXXXX")
    PIDS=()
    trap bench_cleanup EXIT
}

bench_cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf -- "$WORK"
}

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
