#!/usr/bin/env bash
# Browser tests of the console: Debian's Chromium, driven by playwright-core
# under node --test, against the real program served by lighttpd with the
# demo's stand-in tools (scripts/test-browser.sh [TEST_FILE...]). Installs what it needs (as root on Debian 12),
# builds the program into build/browser, starts three hosts on 127.0.0.1 (an
# open node, a node with a password, and one whose password must be
# percent-encoded in a query) and stops them on every exit path.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)

ensure_packages cmake ninja-build g++ lighttpd chromium
command -v node >/dev/null && command -v npm >/dev/null || ensure_packages nodejs npm

cd "$root"
npm ci --no-audit --no-fund --loglevel=error

build=$root/build/browser
cmake -S "$root" -B "$build/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_TESTS=OFF >/dev/null
cmake --build "$build/cmake" --target plugin_lumivane_login -j2
program=$build/cmake/plugin_lumivane_login

source "$root/demo/host.sh"
pids=()
stop_hosts() {
  local pid
  for pid in "${pids[@]}"; do demo_host_stop "$pid"; done
  pids=()
}
trap stop_hosts EXIT
trap 'exit 130' INT TERM

# Each run starts from empty nodes; the tests reset them between cases.
rm -rf "$build/node-open" "$build/node-pw" "$build/node-encoded"
export DEMO_HOST_FIRST_PORT=18080

BOT_PASSWORD= demo_host_start "$program" "$build/node-open"
pids+=("$DEMO_HOST_PID")
export LV_OPEN_URL=http://127.0.0.1:$DEMO_HOST_PORT LV_OPEN_DATA=$build/node-open

export LV_PASSWORD='node-pass-7'
BOT_PASSWORD=$LV_PASSWORD demo_host_start "$program" "$build/node-pw"
pids+=("$DEMO_HOST_PID")
export LV_PW_URL=http://127.0.0.1:$DEMO_HOST_PORT LV_PW_DATA=$build/node-pw

# A password that only passes a query percent-encoded: a space, '+', '&'
# and a character beyond ASCII.
export LV_ENCODED_PASSWORD='pa ss+w&rd café'
BOT_PASSWORD=$LV_ENCODED_PASSWORD demo_host_start "$program" "$build/node-encoded"
pids+=("$DEMO_HOST_PID")
export LV_ENCODED_URL=http://127.0.0.1:$DEMO_HOST_PORT LV_ENCODED_DATA=$build/node-encoded

# One file at a time: the files share the hosts and their data folders.
# Test files given as arguments run alone (for working on one of them).
if [ $# -gt 0 ]; then
  node --test --test-concurrency=1 "$@"
else
  node --test --test-concurrency=1 tests/browser/*.test.mjs
fi
