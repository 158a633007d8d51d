#!/usr/bin/env bash
# run.sh PROGRAM NODES_DIR TEST_FILE...: runs browser test files against
# PROGRAM as a web host serves it. Starts three lighttpd hosts on 127.0.0.1
# (an open node, a node with a password, and one whose password must be
# percent-encoded in a query; their data under NODES_DIR,
# emptied first), runs the files with node --test one at a time, and stops
# the hosts on every exit path. CTest runs it once per file (label
# "browser"); scripts/test-browser.sh sets up node and Chromium first.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 PROGRAM NODES_DIR TEST_FILE..." >&2; exit 2; }
program=$1
nodes=$2
shift 2
root=$(cd "$(dirname "$0")/../.." && pwd)

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
rm -rf "$nodes/node-open" "$nodes/node-pw" "$nodes/node-encoded"
export DEMO_HOST_FIRST_PORT=18080

BOT_PASSWORD= demo_host_start "$program" "$nodes/node-open"
pids+=("$DEMO_HOST_PID")
export LV_OPEN_URL=http://127.0.0.1:$DEMO_HOST_PORT LV_OPEN_DATA=$DEMO_HOST_DATA

export LV_PASSWORD='node-pass-7'
BOT_PASSWORD=$LV_PASSWORD demo_host_start "$program" "$nodes/node-pw"
pids+=("$DEMO_HOST_PID")
export LV_PW_URL=http://127.0.0.1:$DEMO_HOST_PORT LV_PW_DATA=$DEMO_HOST_DATA

# A password that only passes a query percent-encoded: a space, '+', '&'
# and a character beyond ASCII.
export LV_ENCODED_PASSWORD='pä ss&w+rd café'
BOT_PASSWORD=$LV_ENCODED_PASSWORD demo_host_start "$program" "$nodes/node-encoded"
pids+=("$DEMO_HOST_PID")
export LV_ENCODED_URL=http://127.0.0.1:$DEMO_HOST_PORT LV_ENCODED_DATA=$DEMO_HOST_DATA

# One file at a time: the files share the hosts and their data folders.
cd "$root"
node --test --test-concurrency=1 "$@"
