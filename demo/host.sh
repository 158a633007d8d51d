# Starts and stops the demo web host (lighttpd with the plugin and the
# stand-in tools). Sourced by scripts/demo.sh and scripts/test-browser.sh;
# defines functions only.
#
#   demo_host_start PROGRAM DATA_DIR [PORT]
#       Prepares DATA_DIR (all state of one node lives there), starts
#       lighttpd in the foreground as a background job on 127.0.0.1 and
#       waits until it answers. Without PORT it takes the first free port
#       from 8080 on. Sets DEMO_HOST_PID and DEMO_HOST_PORT. A node password
#       is taken from BOT_PASSWORD when that is exported (empty: none).
#       DEMO_HOST_FIRST_PORT moves the start of the search.
#       DEMO_CODE_LIFETIME, when exported, is the stand-in's code lifetime
#       in seconds (default 900, also for anything but a whole number
#       above zero: demo_code_lifetime); it is exported again as the value
#       in use, which scripts/demo.sh prints.
#       A data folder serves one running host at a time: when another host
#       still serves DATA_DIR (a second demo on another port), this one
#       takes the first free sibling DATA_DIR-2, DATA_DIR-3, ... and says
#       so, so that two nodes never share credentials or a pending login.
#       Sets DEMO_HOST_DATA to the folder in use.
#       LUMIVANE_ALLOWED_HOSTS, when exported, reaches the plugin: the
#       names besides IP addresses and localhost that a node without a
#       password answers under (demo_allowed_hosts_text says it in words).
#   demo_allowed_hosts_text
#       One line on LUMIVANE_ALLOWED_HOSTS as the node reads it, given
#       BOT_PASSWORD: its value, or that it is unset and what that means.
#   demo_host_stop [PID]
#       Stops that lighttpd (SIGTERM; the last one started when no PID is
#       given) and waits for it; safe to call twice.

DEMO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
DEMO_HOST_PID=
DEMO_HOST_PORT=
DEMO_HOST_DATA=

# demo_code_lifetime VALUE: the code lifetime that the stand-in login tool
# uses for VALUE (its own rule: a whole number of seconds above zero, else
# 900), so that what the demo prints is what the stand-in does.
demo_code_lifetime() {
  case "$1" in
    ''|*[!0-9]*|0) echo 900 ;;
    *) echo "$1" ;;
  esac
}

demo_allowed_hosts_text() {
  local hosts=${LUMIVANE_ALLOWED_HOSTS:-}
  if [ -n "${BOT_PASSWORD:-}" ]; then
    echo "LUMIVANE_ALLOWED_HOSTS: ${hosts:-unset}; not needed, since the node has a password"
  elif [ -n "$hosts" ]; then
    echo "LUMIVANE_ALLOWED_HOSTS: $hosts (the node answers under these names, its IP addresses and localhost)"
  else
    echo "LUMIVANE_ALLOWED_HOSTS: unset, so the node answers only under an IP address or localhost;"
    echo "  to open the console by a name, set it to that name (LUMIVANE_ALLOWED_HOSTS=node.example scripts/demo.sh)"
  fi
}

# Succeeds when something accepts connections on 127.0.0.1:PORT.
_demo_port_busy() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Starts lighttpd on one port; fails when it exits before it listens.
_demo_host_try() {
  local port=$1 run=$2 i
  export LUMIVANE_DEMO_PORT=$port
  lighttpd -D -f "$DEMO_DIR/lighttpd.conf" >"$run/lighttpd.out" 2>&1 &
  DEMO_HOST_PID=$!
  for i in $(seq 1 100); do
    if ! kill -0 "$DEMO_HOST_PID" 2>/dev/null; then
      wait "$DEMO_HOST_PID" 2>/dev/null || true
      DEMO_HOST_PID=
      return 1
    fi
    if _demo_port_busy "$port"; then
      DEMO_HOST_PORT=$port
      return 0
    fi
    sleep 0.1
  done
  demo_host_stop
  return 1
}

# Succeeds when a live lighttpd started by demo_host_start serves DATA.
_demo_data_held() {
  local pid
  pid=$(cat "$1/run/host.pid" 2>/dev/null) || return 1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = lighttpd ]
}

# Succeeds when PORT is a port number that nothing listens on; says why not.
demo_port_usable() {
  local port=$1
  if ! [[ $port =~ ^[0-9]{1,5}$ ]] || [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; then
    echo "demo host: $port is not a port number (1 to 65535)" >&2
    return 1
  fi
  if _demo_port_busy "$port"; then
    echo "demo host: port $port is already in use" >&2
    return 1
  fi
}

demo_host_start() {
  local program=$1 data=$2 port=${3:-}
  if [ ! -x "$program" ]; then
    echo "demo host: no program at $program (build it first)" >&2
    return 1
  fi
  # A port that cannot be had fails before any data folder is made.
  if [ -n "$port" ]; then demo_port_usable "$port" || return 1; fi
  local wanted=$data n=2
  while _demo_data_held "$data"; do
    data=$wanted-$n
    n=$((n + 1))
  done
  [ "$data" != "$wanted" ] && echo "demo host: $wanted is in use by another running demo; this one keeps its data in $data" >&2
  mkdir -p "$data/run" "$data/override"
  data=$(cd "$data" && pwd)
  DEMO_HOST_DATA=$data
  export LUMIVANE_DEMO_DATA=$data
  export LUMIVANE_DEMO_RUN=$data/run
  export LUMIVANE_DEMO_WWW=$DEMO_DIR/www
  export LUMIVANE_DEMO_PROGRAM=$program
  export LUMIVANE_DEMO_APPROVE=$DEMO_DIR/approve.cgi
  export LUMIVANE_CREDS_PATH=$data/auth.json
  export LUMIVANE_PENDING_PATH=$data/login-pending.json
  export LUMIVANE_ENV_DIR=$data/vantorel-env
  export LUMIVANE_LOGIN_BIN=$DEMO_DIR/tools/lumivane-login-standin
  export LUMIVANE_TOKEN_BIN=$DEMO_DIR/tools/lumivane-token-standin
  export BOT_PASSWORD=${BOT_PASSWORD:-}
  export LUMIVANE_ALLOWED_HOSTS=${LUMIVANE_ALLOWED_HOSTS:-}
  DEMO_CODE_LIFETIME=$(demo_code_lifetime "${DEMO_CODE_LIFETIME:-}")
  export DEMO_CODE_LIFETIME
  export PATH

  if [ -n "$port" ]; then
    _demo_host_try "$port" "$data/run" && { echo "$DEMO_HOST_PID" > "$data/run/host.pid"; return 0; }
    echo "demo host: lighttpd did not start on port $port:" >&2
    cat "$data/run/lighttpd.out" "$data/run/lighttpd-error.log" >&2 2>/dev/null
    return 1
  fi
  local p
  local first=${DEMO_HOST_FIRST_PORT:-8080}
  for p in $(seq "$first" $((first + 100))); do
    _demo_port_busy "$p" && continue
    _demo_host_try "$p" "$data/run" && { echo "$DEMO_HOST_PID" > "$data/run/host.pid"; return 0; }
  done
  echo "demo host: no free port between $first and $((first + 100))" >&2
  cat "$data/run/lighttpd.out" "$data/run/lighttpd-error.log" >&2 2>/dev/null
  return 1
}

demo_host_stop() {
  local pid=${1:-$DEMO_HOST_PID}
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ "$pid" = "$DEMO_HOST_PID" ] && DEMO_HOST_PID=
  return 0
}
