#!/usr/bin/env bash
# The console demo on this machine: installs what is missing (Debian 12, as
# root), builds the plugin, and serves it with lighttpd on 127.0.0.1 next to
# demo stand-ins for the LumiVane login and token tools, so that a whole
# device login can be tried in a browser. Ctrl-C stops it.
#
#   scripts/demo.sh [PORT]             first free port from 8080 when omitted
#   BOT_PASSWORD=secret scripts/demo.sh   a node with a password
#   DEMO_CODE_LIFETIME=60 scripts/demo.sh codes that expire after a minute
#   LUMIVANE_ALLOWED_HOSTS=node.example scripts/demo.sh   also answer under that name
#
# The node's state (credentials, pending marker) lives in build/demo/data
# and survives restarts; remove that folder to start over. A second demo
# started while the first runs keeps its own folder (build/demo/data-2...).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
port=${1:-}

source "$root/demo/host.sh"
# A port that cannot be had is told before anything is built or made.
[ -z "$port" ] || demo_port_usable "$port" || exit 1

ensure_packages cmake ninja-build g++ lighttpd
build=$root/build/demo
cmake -S "$root" -B "$build/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_TESTS=OFF >/dev/null
cmake --build "$build/cmake" --target plugin_lumivane_login -j2

trap 'demo_host_stop' EXIT
trap 'exit 130' INT TERM
demo_host_start "$build/cmake/plugin_lumivane_login" "$build/data" "$port"
# Only a demo that started is said to stop.
trap 'demo_host_stop; echo; echo "demo stopped"' EXIT

base=http://127.0.0.1:$DEMO_HOST_PORT
# The password goes into the printed addresses percent-encoded, as a host
# hands it on: every byte but letters, digits and -._~ as %XX.
url_encode() {
  local LC_ALL=C text=$1 out= i c
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case "$c" in
      [A-Za-z0-9._~-]) out+=$c ;;
      *) printf -v c '%%%02X' "'$c"; out+=$c ;;
    esac
  done
  printf '%s' "$out"
}
query=
password_line="none: anyone who reaches this port can use the console"
if [ -n "${BOT_PASSWORD:-}" ]; then
  query="?pwd=$(url_encode "$BOT_PASSWORD")"
  password_line="set (BOT_PASSWORD); the addresses below carry it as pwd="
fi
cat <<EOT

LumiVane console demo is running (lighttpd pid $DEMO_HOST_PID).
  Node password:        $password_line
  Index page:           $base/$query
  Console:              $base/plugin_lumivane_login$query
  Inside a host frame:  $base/host.html$query
  Node data folder:     $DEMO_HOST_DATA
$(demo_allowed_hosts_text)
The login and token tools are demo stand-ins: press "Start LumiVane Login",
then "Copy Code & Open LumiVane", and approve the code on the page that opens.
To try a denial, press "Deny" there instead. Codes live $DEMO_CODE_LIFETIME s
(DEMO_CODE_LIFETIME=60 scripts/demo.sh for a quick expiry).
To start over from an empty node: stop the demo, then rm -rf $DEMO_HOST_DATA
Press Ctrl-C to stop.
EOT
wait "$DEMO_HOST_PID"
