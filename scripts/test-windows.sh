#!/usr/bin/env bash
# Cross-builds the Windows .exe with mingw-w64, checks that it needs only
# system DLLs and no ANSI file, environment or process call, and runs the
# end-to-end cases against it under wine, started as a Windows host starts
# it (UTF-16 environment, a legacy ANSI code page). The build folder holds
# the wine prefix and the locales too: remove build/windows for a clean
# start.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
# wine64-preloader reserves the address ranges wine needs before anything
# else is loaded; without it a process start fails now and then under load
# ("failed to map the shared user data"), and a case would read a tool as
# absent. The harness runs such a case again (target_start_failed).
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev g++-mingw-w64-x86-64-posix wine wine64 wine64-preloader locales

out="$root/build/windows"
exe_dir="$out/exe"
cmake -S "$root" -B "$exe_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$exe_dir" -j2

# A Windows node gets nothing but the .exe: every DLL it names must come
# with Windows itself.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe_dir/plugin_lumivane_login.exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "DLLs imported: $(echo $dlls)"
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll | advapi32.dll | user32.dll | ws2_32.dll | shell32.dll) ;;
    *) echo "not a system DLL: $dll (the .exe must be linked statically)" >&2; exit 1 ;;
  esac
done

# Text reaches Windows in UTF-16 only: a call of the ANSI family would pass
# every name through the machine's code page (a '?' for each letter it
# lacks) and stop at MAX_PATH.
ansi_calls="CreateFileA GetFileAttributesA GetFileAttributesExA DeleteFileA CreateProcessA \
  GetEnvironmentStrings GetEnvironmentStringsA GetEnvironmentVariableA FreeEnvironmentStringsA \
  GetSystemDirectoryA SearchPathA FindFirstFileA"
imports=$(x86_64-w64-mingw32-objdump -p "$exe_dir/plugin_lumivane_login.exe" |
  awk '/DLL Name:/ { dll = tolower($3) } dll == "kernel32.dll" && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }')
[ -n "$imports" ] || { echo "no kernel32.dll imports found: objdump's output has changed" >&2; exit 1; }
for call in $ansi_calls; do
  if grep -qx "$call" <<<"$imports"; then
    echo "the .exe imports the ANSI call $call" >&2
    exit 1
  fi
done
echo "ANSI file, environment and process calls imported: none"

# The locales wine runs in (tests/e2e/target_win32.cc): the language
# sets the ANSI code page (en_US 1252, ru_RU 1251), UTF-8 keeps the host's
# file names readable. Built into a folder of our own, never the system's.
locales="$out/locale"
mkdir -p "$locales"
for l in en_US ru_RU; do
  [ -d "$locales/$l.UTF-8" ] || localedef -i "$l" -f UTF-8 "$locales/$l.UTF-8"
done

# The test runner is a native program that drives the .exe through wine.
runner_dir="$out/runner"
cmake -S "$root" -B "$runner_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMIVANE_WINE_EXE_DIR="$exe_dir" -DLUMIVANE_WINE_LOCPATH="$locales" >/dev/null
cmake --build "$runner_dir" -j2 --target e2e_wine_tests

export WINEPREFIX="$out/wineprefix"
export WINEDEBUG=-all
# No .NET or HTML installers, and no debugger whose crash report would land
# on the program's standard output.
export WINEDLLOVERRIDES='mscoree,mshtml=;winedbg.exe=d'
unset DISPLAY WAYLAND_DISPLAY

# One persistent wineserver for the whole run: without it every program
# waits for wine's background processes before its output closes. Its
# output must not hold the caller's pipes open.
# A server left by an interrupted run of this prefix is stopped first:
# "wineserver -p" refuses to start beside it.
mkdir -p "$WINEPREFIX"
wineserver -k >/dev/null 2>&1 </dev/null || true
wineserver -w >/dev/null 2>&1 </dev/null || true
wineserver -p >/dev/null 2>&1 </dev/null || { echo "test-windows: cannot start a wineserver for $WINEPREFIX" >&2; exit 1; }
trap 'wineserver -k >/dev/null 2>&1 </dev/null || true' EXIT
wine cmd /c exit 0 >/dev/null 2>&1 </dev/null  # creates the prefix on the first run

ctest --test-dir "$runner_dir" -L wine --output-on-failure -j2
