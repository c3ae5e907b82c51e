#!/usr/bin/env bash
# Runs the browser test against a build folder:
#   tests/browser/run.sh BUILD_DIR [TEST.mjs]   (login.mjs when not named)
# Exits 77 (skipped) only when chromium or node is not on this machine;
# "./run test" installs both, and playwright-core from package-lock.json.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=${1:?usage: tests/browser/run.sh BUILD_DIR}

if [ ! -x /usr/bin/chromium ] || ! command -v node >/dev/null; then
    echo "chromium or node is not installed: browser test skipped"
    exit 77
fi
if [ ! -d "$HERE/node_modules/playwright-core" ]; then
    (cd "$HERE" && npm ci --no-audit --no-fund)
fi
exec node "$HERE/${2:-login.mjs}" "$BUILD"
