#!/usr/bin/env bash
# The hosts stage: the program behind the real web servers that people run
# it behind, each installed from Debian and configured only by the text of
# docs/hosting.md (the block after "<!-- host-snippet: NAME -->"), then a
# table of requests through each with the stand-in tools of demo/tools/.
#
# Each server runs twice on 127.0.0.1, as a node without a password and as
# one with the password "café au lait", as www-data (the user the guide
# names). The guide's text is changed only where a test must: the listening
# address, the program's folder, the home folder, the tools' PATH entry, the
# password placeholder and (except on the open nginx node, whose 504 row
# checks that nginx waits longer than the program's default 60 s) the tool
# limit, to 5 s. The changes are printed as a diff.
#
# Every row prints the whole response (status line, headers, body) and the
# tools' log when it fails. Closes with "# pass N" and "# fail N".
#   scripts/test-hosts.sh [HOST...]     hosts: apache nginx lighttpd busybox
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/common.sh"
root=$(repo_root)

all_hosts=(apache nginx lighttpd busybox)
hosts=("$@")
[ ${#hosts[@]} -eq 0 ] && hosts=("${all_hosts[@]}")

ensure_packages cmake ninja-build g++ curl apache2 nginx fcgiwrap lighttpd busybox

build=$root/build/hosts
nice cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
nice cmake --build "$build" --target plugin_lumivane_login

work=$(mktemp -d /tmp/lumivane-hosts-XXXXXX)
chmod 755 "$work"
server_pids=()
cleanup() {
  local pid
  for pid in "${server_pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# The install the guide describes: the program straight into the prefix.
plugins=$work/opt/node/plugins
cmake --install "$build" --prefix "$plugins" >/dev/null
program=$plugins/plugin_lumivane_login
if [ ! -x "$program" ]; then
  echo "cmake --install --prefix $plugins did not put the program at $program" >&2
  exit 1
fi
# The tools by their real names, on the PATH that each configuration sets.
tools=$work/tools
mkdir -p "$tools"
ln -s "$root/demo/tools/lumivane-login-standin" "$tools/vantorel-lumivane-login"
ln -s "$root/demo/tools/lumivane-token-standin" "$tools/vantorel-lumivane-fetchtoken"

password='café au lait'
password_encoded='caf%C3%A9%20au%20lait'
planted=planted-request-value-5d1e   # sent in a header and the query of every request

# The page as the program itself writes it, to compare byte for byte.
env -i QUERY_STRING= "$program" | sed '1,/^\r\?$/d' > "$work/page.expected"

# snippet NAME: the guide's configuration text for NAME.
snippet() {
  awk -v mark="<!-- host-snippet: $1 -->" '
    $0 == mark { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    found && inside { print }
  ' "$root/docs/hosting.md"
}

passes=0
fails=0
pass() { passes=$((passes + 1)); echo "ok   $node: $1"; }
fail() { fails=$((fails + 1)); echo "FAIL $node: $1"; }

port_busy() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
next_port=18460
free_port() {
  while port_busy "$next_port"; do next_port=$((next_port + 1)); done
  port=$next_port
  next_port=$((next_port + 1))
}

# adapt NAME HOST_OPEN_WITH_DEFAULT_LIMIT: the guide's text with this run's
# places, printed as a diff against the guide.
adapt() {
  local name=$1 keep_limit=$2 text
  text=$(snippet "$name")
  if [ -z "$text" ]; then
    echo "docs/hosting.md has no host-snippet $name" >&2
    return 1
  fi
  local subst=(
    -e "s|/opt/node/plugins|$plugins|g"
    -e "s|/var/lib/lumivane-node|$home|g"
    -e "s|/usr/local/bin:|$tools:/usr/local/bin:|g"
    -e "s|NODE-PASSWORD|$node_password|g"
    -e "s|listen 80;|listen 127.0.0.1:$port;|"
    -e "s|unix:/run/fcgiwrap.socket|unix:$run/fcgiwrap.sock|"
    -e "s|-p 80 |-p 127.0.0.1:$port |"
    -e "s|/srv/node-www|$run/www|g"
  )
  [ "$keep_limit" = yes ] || subst+=(-e 's/\(LUMIVANE_TOOL_TIMEOUT[^0-9]*\)60/\15/')
  printf '%s\n' "$text" | sed "${subst[@]}" > "$run/$name.conf"
  echo "--- $name: the guide's text, changed for this run:"
  diff <(printf '%s\n' "$text") "$run/$name.conf" | sed 's/^/    /' || true
}

# wait_for_port PID: until the server listens, or it has ended.
wait_for_port() {
  local pid=$1 i
  for i in $(seq 1 300); do
    port_busy "$port" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "the server did not start listening on $port:" >&2
  cat "$run"/*.log "$run"/*.out 2>/dev/null >&2 || true
  return 1
}

start_apache() {
  adapt apache "$1"
  cat > "$run/httpd.conf" <<EOF
ServerRoot /etc/apache2
ServerName 127.0.0.1
Listen 127.0.0.1:$port
PidFile $run/apache.pid
DefaultRuntimeDir $run
Mutex file:$run default
ScriptSock $run/cgid.sock
ErrorLog $run/apache-error.log
User www-data
Group www-data
LoadModule mpm_event_module /usr/lib/apache2/modules/mod_mpm_event.so
LoadModule authz_core_module /usr/lib/apache2/modules/mod_authz_core.so
LoadModule alias_module /usr/lib/apache2/modules/mod_alias.so
LoadModule env_module /usr/lib/apache2/modules/mod_env.so
LoadModule cgid_module /usr/lib/apache2/modules/mod_cgid.so
Include $run/apache.conf
EOF
  env -i PATH=/usr/sbin:/usr/bin:/bin apache2 -f "$run/httpd.conf" -DFOREGROUND >"$run/apache.out" 2>&1 &
  server_pids+=($!)
  wait_for_port $! || return 1
  base=/plugin_lumivane_login
}

start_nginx() {
  adapt fcgiwrap "$1"
  adapt nginx "$1"
  # fcgiwrap as its Debian service starts it: as www-data, with the options
  # of /etc/default/fcgiwrap, on the socket nginx names.
  local DAEMON_OPTS
  # shellcheck disable=SC1090,SC1091
  . "$run/fcgiwrap.conf"
  # shellcheck disable=SC2086
  env -i PATH=/usr/sbin:/usr/bin:/bin setpriv --reuid=www-data --regid=www-data --init-groups \
    /usr/sbin/fcgiwrap $DAEMON_OPTS -s "unix:$run/fcgiwrap.sock" >"$run/fcgiwrap.out" 2>&1 &
  server_pids+=($!)
  local i
  for i in $(seq 1 300); do [ -S "$run/fcgiwrap.sock" ] && break; sleep 0.1; done
  cp /etc/nginx/fastcgi_params "$run/fastcgi_params"
  mkdir -p "$run/temp"
  cat > "$run/nginx-main.conf" <<EOF
user www-data;
pid $run/nginx.pid;
error_log $run/nginx-error.log;
events {}
http {
    access_log off;
    client_body_temp_path $run/temp/body;
    fastcgi_temp_path $run/temp/fastcgi;
    proxy_temp_path $run/temp/proxy;
    uwsgi_temp_path $run/temp/uwsgi;
    scgi_temp_path $run/temp/scgi;
    include $run/nginx.conf;
}
EOF
  env -i PATH=/usr/sbin:/usr/bin:/bin nginx -c "$run/nginx-main.conf" -g 'daemon off;' >"$run/nginx.out" 2>&1 &
  server_pids+=($!)
  wait_for_port $! || return 1
  base=/plugin_lumivane_login
}

start_lighttpd() {
  adapt lighttpd "$1"
  mkdir -p "$run/docroot"
  cat > "$run/lighttpd-main.conf" <<EOF
server.modules = ( "mod_indexfile", "mod_access", "mod_alias", "mod_redirect" )
server.bind = "127.0.0.1"
server.port = $port
server.document-root = "$run/docroot"
server.errorlog = "$run/lighttpd-error.log"
server.username = "www-data"
server.groupname = "www-data"
include "$run/lighttpd.conf"
EOF
  env -i PATH=/usr/sbin:/usr/bin:/bin lighttpd -D -f "$run/lighttpd-main.conf" >"$run/lighttpd.out" 2>&1 &
  server_pids+=($!)
  wait_for_port $! || return 1
  base=/plugin_lumivane_login
}

start_busybox() {
  adapt busybox "$1"
  # The guide's two install steps, in this run's folders.
  install -d -m 755 "$run/www/cgi-bin"
  ln -s "$program" "$run/www/cgi-bin/plugin_lumivane_login"
  # The unit's environment and command, as systemd would run them.
  local vars=() line cmd=
  while IFS= read -r line; do
    case "$line" in
      Environment=*) line=${line#Environment=}; line=${line#\"}; vars+=("${line%\"}") ;;
      ExecStart=*) cmd=${line#ExecStart=} ;;
    esac
  done < "$run/busybox.conf"
  # shellcheck disable=SC2086
  env -i "${vars[@]}" $cmd >"$run/busybox.out" 2>&1 &
  server_pids+=($!)
  wait_for_port $! || return 1
  base=/cgi-bin/plugin_lumivane_login
}

# req ROW STATUS QUERY [CURL ARGS...]: one request; checks the HTTP status
# and keeps the response in $run/resp.* for the checks that follow.
req() {
  local row=$1 want=$2 query=$3
  shift 3
  local url="http://127.0.0.1:$port$base"
  [ -n "$query" ] && url="$url?$query&planted=$planted"
  : > "$run/resp.head"; : > "$run/resp.body"
  curl -sS --max-time 150 -D "$run/resp.head" -o "$run/resp.body" \
    -H "X-Planted: $planted" "$@" "$url" 2>"$run/resp.err" || true
  got=$(sed -n '1s/^HTTP\/[0-9.]* \([0-9]*\).*/\1/p' "$run/resp.head")
  current_row=$row
  if [ "$got" != "$want" ]; then
    bad "HTTP status $got, expected $want"
    return 1
  fi
  return 0
}

# bad WHY: the current row failed; shows the response and the tools' log.
bad() {
  fail "$row_title ($current_row): $1"
  {
    echo "    --- response (curl: $(cat "$run/resp.err"))"
    sed 's/^/    /' "$run/resp.head" "$run/resp.body"
    echo
    echo "    --- tools' log"
    local f
    for f in "$data"/log/*.env; do
      [ -e "$f" ] && { echo "    $f:"; sed 's/^/      /' "$f"; }
    done
    echo "    --- server's log"
    tail -n 20 "$run"/*error.log "$run"/*.out 2>/dev/null | sed 's/^/    /'
  } >&2
}

body_has() { grep -qF -- "$1" "$run/resp.body" || { bad "body lacks $1"; return 1; }; }
head_has() { grep -qi -- "$1" "$run/resp.head" || { bad "headers lack $1"; return 1; }; }

# A row passes when all of its checks do.
row() {
  row_title=$1
  shift
  if "$@"; then pass "$row_title"; fi
}

same=(-H "Sec-Fetch-Site: same-origin")

open_rows() {
  local slow_limit=$1
  row "the page, byte for byte, with its policy header" check_page
  row "status: the tools found on the host's PATH" check_status
  row "unknown action: 400" check_unknown
  row "start, poll, cancel" check_flow
  row "cross-site start: 403, no tool run" check_cross_site
  row "same-origin start with Origin only (older browser)" check_origin_only
  row "status answered while a start waits on a slow tool" check_status_while_start_waits "${same[@]}"
  row "slow tool past the limit: the program's own 504 ($slow_limit s)" check_timeout "${same[@]}"
  row "no request variable reaches a tool" check_tool_env
}

password_rows() {
  local pw=(-H "X-Bot-Password: $password")
  row "no password: 401 for the page" check_401
  row "wrong password: 401" check_401 -H "X-Bot-Password: café au lai"
  row "password in X-Bot-Password" check_status "${pw[@]}"
  row "password as Authorization: Bearer" check_status -H "Authorization: Bearer $password"
  row "password as pwd, percent-encoded" check_status_pwd
  row "start, poll, cancel with the password" check_flow "${pw[@]}"
  row "cross-site start with the password: 403, no tool run" check_cross_site "${pw[@]}"
  row "slow tool past the limit: 504" check_timeout "${pw[@]}" "${same[@]}"
  row "no request variable reaches a tool" check_tool_env
}

check_page() {
  req page 200 "" "$@" || return 1
  head_has '^Content-Type: text/html' || return 1
  head_has '^Content-Security-Policy: ' || return 1
  cmp -s "$run/resp.body" "$work/page.expected" || { bad "the page differs from the program's own"; return 1; }
}
check_status() {
  req status 200 "action=status" "$@" || return 1
  body_has '{"ok":true,"provider":"lumivane"' && body_has '"cli_present":true' && body_has '"token_cli_present":true'
}
check_status_pwd() {
  req pwd 200 "action=status&pwd=$password_encoded" || return 1
  body_has '{"ok":true,"provider":"lumivane"'
}
check_unknown() {
  req unknown 400 "action=bogus" "$@" && body_has '"error":"unknown_action"'
}
check_flow() {
  req start 200 "action=start" "${same[@]}" "$@" && body_has '"user_code":"' || return 1
  req poll 200 "action=poll" "${same[@]}" "$@" && body_has '"state":"pending"' || return 1
  req cancel 200 "action=cancel" "${same[@]}" "$@" && body_has '"state":"cancelled"'
}
check_cross_site() {
  rm -f "$data/log/start.env"
  req cross-site 403 "action=start" "$@" -H "Sec-Fetch-Site: cross-site" || return 1
  body_has '"error":"cross_site_request"' || return 1
  [ ! -e "$data/log/start.env" ] || { bad "the login tool ran for a refused start"; return 1; }
}
check_origin_only() {
  req origin-only 200 "action=start" -H "Origin: http://127.0.0.1:$port" && body_has '"user_code":"' || return 1
  req cancel 200 "action=cancel" -H "Origin: http://127.0.0.1:$port" && body_has '"state":"cancelled"'
}
check_status_while_start_waits() {
  rm -f "$data/run/start.began"
  echo 120 > "$data/override/start.hold"
  curl -sS --max-time 150 -o "$run/slow.body" -w '%{http_code}' "$@" \
    "http://127.0.0.1:$port$base?action=start" > "$run/slow.code" 2>&1 &
  local slow=$! i ok=0
  # The start's tool has begun (or the start has ended without it).
  for i in $(seq 1 1200); do
    [ -e "$data/run/start.began" ] && break
    kill -0 "$slow" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -e "$data/run/start.began" ]; then
    current_row=slow-start
    bad "the start's tool never began (start answered $(cat "$run/slow.code"))"
  elif req status-during-start 200 "action=status" --max-time 30 && body_has '"pending":'; then
    # Answered while the tool still holds the start.
    if kill -0 "$slow" 2>/dev/null; then ok=1; else bad "the start had already ended"; fi
  fi
  rm -f "$data/override/start.hold"
  wait "$slow" || true
  req cancel 200 "action=cancel" "${same[@]}" >/dev/null || ok=0
  [ "$ok" = 1 ]
}
check_timeout() {
  echo 150 > "$data/override/start.hold"
  local r=0
  req timeout 504 "action=start" "$@" && body_has '"error":"start_failed"' && body_has 'timed out' || r=1
  rm -f "$data/override/start.hold"
  return "$r"
}
check_401() {
  req no-password 401 "" "$@" && body_has '"error":"invalid node password"'
}
check_tool_env() {
  current_row=tool-env
  : > "$run/resp.head"; echo "(no request; the tools' environment)" > "$run/resp.body"; : > "$run/resp.err"
  [ -e "$data/log/status.env" ] || { bad "no tool logged its environment"; return 1; }
  # The CGI variables that carry the request, and the planted value sent in
  # a header and the query of every request. (fcgiwrap's FCGI_ROLE is the
  # same constant for every request and carries nothing of it.)
  local leaked
  leaked=$(cat "$data"/log/*.env | grep -E "$planted|^(QUERY_STRING|HTTP_[A-Z0-9_]*|REQUEST_[A-Z_]*|REMOTE_[A-Z_]*|SERVER_[A-Z_]*|SCRIPT_[A-Z_]*|GATEWAY_INTERFACE|CONTENT_TYPE|CONTENT_LENGTH|PATH_INFO|PATH_TRANSLATED|DOCUMENT_ROOT|DOCUMENT_URI|REDIRECT_[A-Z_]*|CONTEXT_[A-Z_]*|HTTPS|AUTH_TYPE|BOT_PASSWORD)=" || true)
  [ -z "$leaked" ] || { bad "request variables reached a tool: $leaked"; return 1; }
}

for host in "${hosts[@]}"; do
  case " ${all_hosts[*]} " in
    *" $host "*) ;;
    *) echo "unknown host: $host (hosts: ${all_hosts[*]})" >&2; exit 2 ;;
  esac
  for mode in open password; do
    node="$host ($mode)"
    run=$work/$host-$mode
    home=$run/home
    data=$home/.lumivane-demo
    mkdir -p "$run" "$data/log" "$data/override" "$data/run"
    chown -R www-data:www-data "$home"
    chown www-data:www-data "$run"   # servers that open their logs as www-data
    chmod 700 "$home"
    if [ "$mode" = open ]; then node_password=; else node_password=$password; fi
    keep_limit=no
    [ "$host" = nginx ] && [ "$mode" = open ] && keep_limit=yes
    free_port
    echo "=== $node on 127.0.0.1:$port"
    row_title="server start"
    if ! "start_$host" "$keep_limit"; then
      fail "the server did not start"
      continue
    fi
    if [ "$mode" = open ]; then
      if [ "$keep_limit" = yes ]; then open_rows 60; else open_rows 5; fi
    else
      password_rows
    fi
    pid=${server_pids[-1]}
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [ "$host" = nginx ]; then
      pid=${server_pids[-2]}
      kill -TERM "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
done

echo "# pass $passes"
echo "# fail $fails"
[ "$fails" -eq 0 ]
