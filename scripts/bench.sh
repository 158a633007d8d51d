#!/usr/bin/env bash
# The performance benchmark: builds the Release program (tests off) and
# measures it against a floor program, with stand-in tools, in one run.
# Prints the table and writes it to bench/RESULTS.md (or to $1).
# Not a test: nothing here passes or fails on a duration.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
ensure_packages cmake ninja-build g++ libc6-dev hyperfine valgrind time
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target plugin_lumivane_login
# The same program linked dynamically, to show what static linking changes.
dynamic="$root/build/bench-dynamic"
cmake -S "$root" -B "$dynamic" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_TESTS=OFF \
  -DLUMIVANE_STATIC=OFF >/dev/null
cmake --build "$dynamic" -j 2 --target plugin_lumivane_login
exec "$root/bench/run.sh" "$build/plugin_lumivane_login" "${1:-$root/bench/RESULTS.md}" \
  "$dynamic/plugin_lumivane_login"
