#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# JOBS=N runs N targets at a time (default 2). Each target grows a working
# corpus in build/fuzz/corpus/<target>, seeded from fuzz/corpus/<target>;
# a crashing input lands in build/fuzz/artifacts/<target>/ and makes the
# script fail. One summary line per target: executions, seconds, result.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
ensure_packages cmake ninja-build clang-14 libclang-rt-14-dev

seconds=${1:-60}
shift || true
jobs=${JOBS:-2}
build="$root/build/fuzz"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DLUMIVANE_SANITIZE=ON -DLUMIVANE_FUZZ=ON -DLUMIVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzzers -j2

# The targets are listed once, in fuzz/CMakeLists.txt, which writes their names here.
targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets <"$build/fuzz/targets.txt"

# Inputs the size of several long environment values or tool answers.
max_len() {
  case "$1" in
    fuzz_paths|fuzz_status) echo 24576 ;;
    *) echo 8192 ;;
  esac
}

# Keys and values of the JSON texts, for the targets that read them.
dict_opt() {
  case "$1" in
    fuzz_json|fuzz_status) echo "-dict=$root/fuzz/json.dict" ;;
  esac
}

run_one() {
  local t=$1 corpus="$build/corpus/$1" artifacts="$build/artifacts/$1/" log="$build/logs/$1.log"
  mkdir -p "$corpus" "$artifacts" "$build/logs"
  cp -n "$root/fuzz/corpus/$t/"* "$corpus/" 2>/dev/null || true
  local rc=0
  "$build/fuzz/$t" "$corpus" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -max_len="$(max_len "$t")" $(dict_opt "$t") -artifact_prefix="$artifacts" -print_final_stats=1 >"$log" 2>&1 || rc=$?
  local runs secs
  runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  secs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\2/p' "$log" | tail -1)
  if [ "$rc" -eq 0 ]; then
    printf '%-18s %12s execs %6s s  no crash\n' "$t" "${runs:-?}" "${secs:-?}"
  else
    printf '%-18s FAILED (exit %d): see %s and %s\n' "$t" "$rc" "$log" "$artifacts"
    grep -m5 -E 'property violated|ERROR: |runtime error|SUMMARY' "$log" || true
  fi
  return "$rc"
}

failed=0
pids=()
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || failed=1; done
exit "$failed"
