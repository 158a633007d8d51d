#!/usr/bin/env bash
# Two checks of memory and undefined behaviour:
#  1. the whole unit and end-to-end suite, built with clang-14 under
#     AddressSanitizer (LeakSanitizer included) and UndefinedBehaviorSanitizer
#     with -fno-sanitize-recover, so that any finding fails its test;
#  2. one leak pass under valgrind over every action path of the plain
#     program (page, 401, 400, status, start, poll, cancel, refresh, and their
#     error answers), with stand-in tools: a definite or indirect leak, or
#     any memory error, fails the stage.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
ensure_packages cmake ninja-build clang-14 libclang-rt-14-dev valgrind g++ libgtest-dev libgmock-dev

echo "--- sanitizer build: unit and end-to-end tests"
san="$root/build/sanitize"
cmake -S "$root" -B "$san" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DLUMIVANE_SANITIZE=ON >/dev/null
cmake --build "$san" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$san" -L "unit|e2e" --output-on-failure -j2

echo "--- valgrind leak pass over every action path"
vg="$root/build/valgrind"
cmake -S "$root" -B "$vg" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMIVANE_TESTS=OFF >/dev/null
cmake --build "$vg" -j2 --target plugin_lumivane_login
"$root/scripts/lib/leak-pass.sh" "$vg/plugin_lumivane_login"
