#!/usr/bin/env bash
# Browser tests of the console: Debian's Chromium, driven by playwright-core
# under node --test, against the real program served by lighttpd with the
# demo's stand-in tools. Installs what it needs (as root on Debian 12),
# builds the program into build/browser, and runs the browser tests under
# CTest (label "browser": one test per file, each starting two hosts on
# 127.0.0.1, an open node and a node with a password, and stopping them on
# every exit path; tests/browser/run.sh).
#   scripts/test-browser.sh                 every file
#   scripts/test-browser.sh TEST_FILE...    only these, one node run
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)

ensure_packages cmake ninja-build g++ lighttpd chromium
command -v node >/dev/null && command -v npm >/dev/null || ensure_packages nodejs npm

cd "$root"
npm ci --no-audit --no-fund --loglevel=error

build=$root/build/browser
cmake -S "$root" -B "$build/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_TESTS=OFF \
  -DLUMIVANE_BROWSER_TESTS=ON >/dev/null
cmake --build "$build/cmake" --target plugin_lumivane_login -j2

# Test files given as arguments run alone (for working on one of them).
if [ $# -gt 0 ]; then
  bash "$root/tests/browser/run.sh" "$build/cmake/plugin_lumivane_login" "$build" "$@"
else
  ctest --test-dir "$build/cmake" -L browser --output-on-failure
fi
