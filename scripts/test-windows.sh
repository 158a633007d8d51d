#!/usr/bin/env bash
# Cross-builds the Windows .exe with mingw-w64, checks that it needs only
# system DLLs, and runs the end-to-end cases against it under wine. The
# build folder holds the wine prefix too: remove build/windows for a
# clean start.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev g++-mingw-w64-x86-64-posix wine wine64

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

# The test runner is a native program that drives the .exe through wine.
runner_dir="$out/runner"
cmake -S "$root" -B "$runner_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMIVANE_WINE_EXE_DIR="$exe_dir" >/dev/null
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
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1 </dev/null || true' EXIT
wine cmd /c exit 0 >/dev/null 2>&1 </dev/null  # creates the prefix on the first run

ctest --test-dir "$runner_dir" -L wine --output-on-failure -j2
