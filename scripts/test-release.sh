#!/usr/bin/env bash
# The release stage: makes the release of the current commit with
# scripts/release.sh and installs it as a node operator would. Each archive
# is checked against SHA256SUMS and unpacked into an empty folder; the
# unpacked program carries no symbol table or debug information, answers
# --meta and --version and serves one status
# request with stand-in tools, started the way a web host starts it (the
# .exe under wine). Under wine, the .exe's version resource and manifest
# are read back through the Windows API. Last, a second release of the same
# commit, made later from a clone in another folder, must give the same
# SHA256SUMS. Like the release itself, the stage tests the last commit, not
# uncommitted changes.
#
# Each check prints "ok" or "not ok" and the stage closes with "# pass N"
# and "# fail N". The wine prefix is kept in build/release-check.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
ensure_packages git cmake ninja-build g++ g++-mingw-w64-x86-64-posix zip unzip wine wine64

passed=0
failed=0
# check NAME COMMAND...: runs one check; its output is shown only when it fails.
check() {
  local name=$1 output
  shift
  if output=$("$@" 2>&1); then
    passed=$((passed + 1))
    echo "ok - $name"
  else
    failed=$((failed + 1))
    echo "not ok - $name"
    [ -z "$output" ] || printf '%s\n' "$output" | sed 's/^/    /'
  fi
}
# same EXPECTED ACTUAL: equal texts, or both shown.
same() {
  [ "$1" = "$2" ] && return 0
  printf 'expected: %q\nactual:   %q\n' "$1" "$2"
  return 1
}
# holds TEXT PIECE...: TEXT contains every PIECE.
holds() {
  local text=$1 piece missing=0
  shift
  for piece in "$@"; do
    case "$text" in *"$piece"*) ;; *) echo "missing: $piece"; missing=1 ;; esac
  done
  [ $missing -eq 0 ] || printf 'in: %s\n' "$text"
  return $missing
}

# stripped NM OBJDUMP PROGRAM: the program has no symbol table (nm finds
# no symbols) and no debug section (.debug_*, .zdebug_*, .stab*).
stripped() {
  local symbols sections
  symbols=$("$1" "$3" 2>&1 | grep -vc 'no symbols' || true)
  sections=$("$2" -h "$3" | awk '$2 ~ /^\.(z?debug|symtab|stab)/ {print $2}' | tr '\n' ' ')
  [ "$symbols" = 0 ] && [ -z "$sections" ] && return 0
  echo "symbol lines: $symbols; debug sections: ${sections:-none}"
  return 1
}

# The version as CMakeLists.txt writes it, read independently of the build.
version=$(sed -n 's/^project(plugin_lumivane_login VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
commit=$(git -C "$root" rev-parse HEAD)

start=$(date +%s)
bash "$root/scripts/release.sh"
echo "release.sh took $(($(date +%s) - start)) s"
dist="$root/dist"
name="plugin_lumivane_login-$version"

work=$(mktemp -d /tmp/lumivane-release-check-XXXXXX)
out="$root/build/release-check"
export WINEPREFIX="$out/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml=;winedbg.exe=d'
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1 </dev/null || true; rm -rf "$work"' EXIT
wine cmd /c exit 0 >/dev/null 2>&1 </dev/null  # creates the prefix on the first run

# A Windows path for a path of this machine.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# What the operator does first: the archive alone in an empty folder,
# checked against the published sums, then unpacked.
verify_and_unpack() {
  local archive=$1 dir=$2
  mkdir -p "$dir"
  cp "$dist/$archive" "$dist/SHA256SUMS" "$dir/"
  (cd "$dir" && sha256sum -c --ignore-missing --strict SHA256SUMS) || return 1
  case "$archive" in
    *.zip) (cd "$dir" && unzip -q "$archive") ;;
    *.tar.gz) tar -xzf "$dir/$archive" -C "$dir" ;;
  esac
}

# members DIR FOLDER: the files the archive's one folder holds.
members() { (cd "$1/$2" && find . -type f | LC_ALL=C sort | sed 's|^\./||' | tr '\n' ' '); }

# The answer to a status request: header block, then the document.
STATUS_HEADERS=$'Content-Type: application/json; charset=utf-8\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n\r\n'
ACCOUNT=release-check@example.org
TOOL_ANSWER="{\"ok\":true,\"logged_in\":true,\"account\":\"$ACCOUNT\",\"has_refresh\":true}"
# check_status RESPONSE_FILE EXIT_STATUS LOGIN_LOG TOKEN_LOG
check_status() {
  local response headers body
  response=$(cat "$1"; echo x)
  response=${response%x}
  headers=${response%%$'\r\n\r\n'*}$'\r\n\r\n'
  body=${response#*$'\r\n\r\n'}
  same 0 "$2" || return 1
  same "$STATUS_HEADERS" "$headers" || return 1
  # One JSON line: the tool's account and flags, both tools found, this version.
  holds "$body" '{"ok":true,"provider":"lumivane","logged_in":true,' "\"username\":\"$ACCOUNT\",\"account\":\"$ACCOUNT\"" \
    '"has_refresh":true' '"cli_present":true,"token_cli_present":true' \
    "\"plugin\":\"plugin_lumivane_login\",\"plugin_version\":\"$version\"" || return 1
  same 1 "$(printf '%s' "$body" | wc -l)" || return 1
  same 1 "$(printf '%s' "$body" | grep -c '^{.*}$')" || return 1
  # The tools were run with their options, and only with those.
  same "--status" "$(tr -d '\r ' <"$3")" || return 1
  same "--help" "$(tr -d '\r ' <"$4")"
}

echo "=== install check: linux-x86_64 ==="
linux="$name-linux-x86_64"
dir="$work/linux"
check "$linux.tar.gz matches SHA256SUMS and unpacks" verify_and_unpack "$linux.tar.gz" "$dir"
check "$linux holds the program, README.txt and the notices" same \
  "README.txt notices/GPL-3.txt notices/LGPL-2.1.txt notices/gcc-runtime.txt notices/glibc.txt notices/qrcode-generator.txt plugin_lumivane_login " \
  "$(members "$dir" "$linux")"
program="$dir/$linux/plugin_lumivane_login"
# No program interpreter: the kernel starts it without the dynamic loader.
check "the Linux program is static" bash -c '! readelf -l "$1" | grep -q INTERP' _ "$program"
check "the Linux program carries no symbol table and no debug information" stripped nm objdump "$program"
check "--meta answers the metadata line" same '{"name":"lumivane","desc":"LumiVane login"}' "$(env -i "$program" --meta)"
check "--version answers the version line" same "plugin_lumivane_login $version" "$(env -i "$program" --version)"
check "README.txt names the version" holds "$(cat "$dir/$linux/README.txt")" "plugin_lumivane_login $version"

tools="$dir/tools"
mkdir -p "$tools"
printf '#!/bin/sh\necho "$*" >>"%s/login.log"\necho '"'%s'"'\n' "$tools" "$TOOL_ANSWER" >"$tools/login"
printf '#!/bin/sh\necho "$*" >>"%s/token.log"\necho usage\n' "$tools" >"$tools/token"
chmod 755 "$tools/login" "$tools/token"
: >"$tools/login.log"
: >"$tools/token.log"
# The environment a host gives a CGI program, built from nothing.
set +e
(cd "$dir" && env -i PATH=/usr/bin:/bin QUERY_STRING=action=status \
  LUMIVANE_LOGIN_BIN="$tools/login" LUMIVANE_TOKEN_BIN="$tools/token" \
  LUMIVANE_CREDS_PATH="$dir/home/auth.json" LUMIVANE_PENDING_PATH="$dir/home/pending.json" \
  LUMIVANE_ENV_DIR="$dir/home" "$program" >"$dir/status.out")
code=$?
set -e
check "a status request runs both tools and answers the status document" \
  check_status "$dir/status.out" "$code" "$tools/login.log" "$tools/token.log"

echo "=== install check: windows-x86_64 ==="
windows="$name-windows-x86_64"
dir="$work/windows"
check "$windows.zip matches SHA256SUMS and unpacks" verify_and_unpack "$windows.zip" "$dir"
check "$windows holds the program, README.txt and the notices" same \
  "README.txt notices/GPL-3.txt notices/gcc-runtime.txt notices/mingw-w64-runtime.txt notices/qrcode-generator.txt plugin_lumivane_login.exe " \
  "$(members "$dir" "$windows")"
exe="$dir/$windows/plugin_lumivane_login.exe"
check "the .exe carries no symbol table and no debug information" \
  stripped x86_64-w64-mingw32-nm x86_64-w64-mingw32-objdump "$exe"
# wine itself needs a few variables of this machine; nothing else passes.
wine_env=(env -i HOME="$HOME" PATH="$PATH" WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG"
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES")
check "--meta answers the metadata line (wine)" same '{"name":"lumivane","desc":"LumiVane login"}' \
  "$("${wine_env[@]}" wine "$exe" --meta </dev/null)"
check "--version answers the version line (wine)" same "plugin_lumivane_login $version" \
  "$("${wine_env[@]}" wine "$exe" --version </dev/null)"
check "README.txt is the same text in both archives" \
  cmp "$work/linux/$linux/README.txt" "$dir/$windows/README.txt"

tools="$dir/tools"
mkdir -p "$tools"
printf '@echo off\r\necho %%*>>"%s"\r\necho %s\r\n' "$(winpath "$tools/login.log")" "$TOOL_ANSWER" >"$tools/login.cmd"
printf '@echo off\r\necho %%*>>"%s"\r\necho usage\r\n' "$(winpath "$tools/token.log")" >"$tools/token.cmd"
: >"$tools/login.log"
: >"$tools/token.log"
set +e
(cd "$dir" && "${wine_env[@]}" QUERY_STRING=action=status \
  LUMIVANE_LOGIN_BIN="$(winpath "$tools/login.cmd")" LUMIVANE_TOKEN_BIN="$(winpath "$tools/token.cmd")" \
  LUMIVANE_CREDS_PATH="$(winpath "$dir/home/auth.json")" LUMIVANE_PENDING_PATH="$(winpath "$dir/home/pending.json")" \
  LUMIVANE_ENV_DIR="$(winpath "$dir/home")" wine "$exe" >"$dir/status.out" </dev/null)
code=$?
set -e
check "a status request runs both tools and answers the status document (wine)" \
  check_status "$dir/status.out" "$code" "$tools/login.log" "$tools/token.log"

# The version resource and the manifest, read back as Windows reads them.
x86_64-w64-mingw32-gcc-posix -O2 -Wall -Wextra -Werror -o "$work/read_resources.exe" \
  "$root/tests/release/read_resources.c" -lversion
# Framed by line feeds, so that every field is matched as a whole line.
resources=$'\n'$("${wine_env[@]}" wine "$work/read_resources.exe" "$(winpath "$exe")" </dev/null | tr -d '\r')$'\n' || true
check "the version resource carries the version and the program's names (wine)" holds "$resources" \
  $'\n'"Fixed FileVersion: $version.0"$'\n' $'\n'"Fixed ProductVersion: $version.0"$'\n' \
  $'\n'"FileVersion: $version"$'\n' $'\n'"ProductVersion: $version"$'\n' \
  $'\n'"ProductName: plugin_lumivane_login"$'\n' $'\n'"OriginalFilename: plugin_lumivane_login.exe"$'\n' \
  $'\n'"FileDescription: LumiVane login plugin"
check "the manifest runs as invoker and declares Windows 10/11 (wine)" holds "$resources" \
  $'\nManifest:\n<?xml' 'level="asInvoker"' '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'
check "the manifest asks for the UTF-8 code page and long paths (wine)" holds "$resources" \
  '>UTF-8</activeCodePage>' '>true</longPathAware>'

echo "=== second release: the same commit, later, from a clone in another folder ==="
clone="$work/elsewhere/checkout"
git clone -q --shared --no-checkout "$root" "$clone"
git -C "$clone" checkout -q --detach "$commit"
start=$(date +%s)
bash "$clone/scripts/release.sh"
echo "second release.sh took $(($(date +%s) - start)) s"
echo "first:"
cat "$dist/SHA256SUMS"
echo "second:"
cat "$clone/dist/SHA256SUMS"
check "two releases of commit ${commit:0:12} give the same SHA256SUMS" cmp "$dist/SHA256SUMS" "$clone/dist/SHA256SUMS"

echo "# pass $passed"
echo "# fail $failed"
[ $failed -eq 0 ]
