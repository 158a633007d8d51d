#!/usr/bin/env bash
# Runs the performance benchmark against one built plugin and writes the
# results table. Not a test: it asserts no duration and fails only when a
# tool is missing or the plugin answers a request wrongly (then the
# timings would measure the wrong path).
#
#   bench/run.sh PLUGIN RESULTS_FILE [PLUGIN_DYNAMIC]
#
# PLUGIN_DYNAMIC, the same program linked dynamically, adds the rows that
# show what static linking changes.
#
# Every timing is a ratio to a baseline measured in the same run, in
# interleaved rounds: each round runs hyperfine once per case with the
# plugin and its baseline (their order swapped every other round), so a
# burst of load from other work on the machine hits both. A ratio is the
# median of the per-round ratios; "spread" is their lowest and highest.
#
# Many short rounds rather than a few long ones: under load from other
# work the median of many per-round ratios moves far less than any single
# round. Run as root, the measuring runs at nice -10 so that background
# jobs disturb it less; both sides of every ratio get the same priority.
#
# Knobs (environment): BENCH_ROUNDS (25), BENCH_RUNS (16 per command and
# round), BENCH_WARMUP (4), BENCH_SLOW_ROUNDS (3), BENCH_SLOW_RUNS (10).
set -euo pipefail

plugin=$(realpath "$1")
results=$2
dynamic=${3:+$(realpath "$3")}
here=$(cd "$(dirname "$0")" && pwd)
rounds=${BENCH_ROUNDS:-25}
runs=${BENCH_RUNS:-16}
warmup=${BENCH_WARMUP:-4}
slow_rounds=${BENCH_SLOW_ROUNDS:-3}
slow_runs=${BENCH_SLOW_RUNS:-10}

for tool in hyperfine valgrind /usr/bin/time cc; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d /tmp/lumivane-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/slow" "$work/resp" "$work/floor" "$work/env" "$work/csv"

# --- stand-in tools and the world they act in -------------------------------
cc -O2 -static -o "$work/bin/login" "$here/standin_tool.c"
cp "$work/bin/login" "$work/bin/token"
cc -O2 -static -DSLEEP_MS=200 -o "$work/slow/login" "$here/standin_tool.c"
cp "$work/slow/login" "$work/slow/token"
touch "$work/env/grandlumivane.txt"

# A credentials file of exactly $2 bytes: a padded id_token first, so that
# every key the plugin looks for lies behind the bulk of the file.
make_creds() {
  local path=$1 size=$2
  local head='{"id_token":"'
  local tail='","access_token":"bench-access","refresh_token":"bench-refresh","expires_at":4102444800,"org_id":"org-bench"}'
  local pad=$((size - ${#head} - ${#tail}))
  { printf '%s' "$head"; head -c "$pad" /dev/zero | tr '\0' 'a'; printf '%s' "$tail"; } >"$path"
}
make_creds "$work/creds-1k.json" 1024
make_creds "$work/creds-1m.json" $((1024 * 1024))
make_creds "$work/creds-8m.json" $((8 * 1024 * 1024))

# The environment of every run: built from nothing, as a web host would,
# with the node password set and offered in the request header.
base_env=(
  PATH=/usr/bin:/bin
  HOME="$work"
  BOT_PASSWORD=bench-pw
  HTTP_X_BOT_PASSWORD=bench-pw
  LUMIVANE_LOGIN_BIN="$work/bin/login"
  LUMIVANE_TOKEN_BIN="$work/bin/token"
  LUMIVANE_CREDS_PATH="$work/creds-1k.json"
  LUMIVANE_PENDING_PATH="$work/no-pending.json"
  LUMIVANE_ENV_DIR="$work/env"
)
# in_env EXTRA... -- COMMAND...: runs COMMAND in the base environment plus
# the VAR=value words before "--".
in_env() {
  local extra=()
  while [ "$1" != "--" ]; do extra+=("$1"); shift; done
  shift
  env -i "${base_env[@]}" "${extra[@]}" "$@"
}
slow_env=(LUMIVANE_LOGIN_BIN="$work/slow/login" LUMIVANE_TOKEN_BIN="$work/slow/token")

# --- the cases ----------------------------------------------------------------
# name | query | floor steps | text the plugin's answer must contain
# The floor starts its tools directly (a "D" before the steps, as the
# plugin does); the same steps without it start them through /bin/sh, the
# earlier floor, measured too for status, start and poll.
cases=(
  "status|action=status|psw|\"cli_present\":true,\"token_cli_present\":true"
  "start|action=start|pswa|\"user_code\":\"BNCH-2024\""
  "poll|action=poll|pswo|\"state\":\"pending\""
  "cancel|action=cancel|pswcpsw|\"state\":\"cancelled\",\"provider\""
  "refresh|action=refresh|pswl|\"refreshed\":true"
  "page||-|</html>"
)

# Builds floor/<name> writing the bytes of resp/<name>, static like the
# least a program could be, plus floor/<name>-dynamic as a reference.
build_floor() {
  local name=$1
  cc -O2 -static -DRESPONSE_FILE="$work/resp/$name" -o "$work/floor/$name" "$here/floor.c"
  cc -O2 -DRESPONSE_FILE="$work/resp/$name" -o "$work/floor/$name-dynamic" "$here/floor.c"
}

# check_answer NAME NEEDLE: the plugin's saved answer must hold NEEDLE.
check_answer() {
  if ! grep -qF -- "$2" "$work/resp/$1"; then
    echo "bench: the plugin answered '$1' unexpectedly; not measuring it:" >&2
    cat "$work/resp/$1" >&2
    exit 1
  fi
}

for c in "${cases[@]}"; do
  IFS='|' read -r name query steps needle <<<"$c"
  in_env QUERY_STRING="$query" -- "$plugin" >"$work/resp/$name"
  check_answer "$name" "$needle"
  build_floor "$name"
done
in_env QUERY_STRING=action=status "${slow_env[@]}" -- "$plugin" >"$work/resp/slow"
check_answer slow '"cli_present":true,"token_cli_present":true'
build_floor slow

# --- measuring ------------------------------------------------------------------
priority=()
[ "$(id -u)" -eq 0 ] && priority=(nice -n -10)
# stats: reads numbers, prints "median min max".
stats() {
  sort -g | awk '{v[NR]=$1} END {
    if (NR == 0) { print "nan nan nan"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.6g %.6g %.6g\n", m, v[1], v[NR] }'
}

# pair LABEL ROUNDS RUNS EXTRA_ENV -- CMD_A -- CMD_B
# Appends "LABEL round wallA cpuA wallB cpuB bestA bestB" per round to
# pairs.dat (wall: hyperfine's median; cpu: mean user + system, children
# included; best: the fastest run, the one least disturbed by other load).
pair() {
  local label=$1 n_rounds=$2 n_runs=$3
  shift 3
  local extra=()
  while [ "$1" != "--" ]; do extra+=("$1"); shift; done
  shift
  local a=$1 b=$3
  local r csv first second
  for ((r = 1; r <= n_rounds; r++)); do
    csv="$work/csv/$label-$r.csv"
    if ((r % 2)); then first=$a second=$b; else first=$b second=$a; fi
    in_env "${extra[@]}" -- "${priority[@]}" hyperfine -N --style none --warmup "$warmup" --runs "$n_runs" \
      --export-csv "$csv" "$first" "$second" >/dev/null 2>>"$work/hyperfine.log" ||
      { cat "$work/hyperfine.log" >&2; exit 1; }
    awk -F, -v label="$label" -v round="$r" -v a="$a" '
      NR > 1 { wall[$1] = $4; cpu[$1] = $5 + $6; best[$1] = $7; cmd[NR - 1] = $1 }  # command,mean,stddev,median,user,system,min,max
      END {
        other = (cmd[1] == a) ? cmd[2] : cmd[1]
        printf "%s %d %.9f %.9f %.9f %.9f %.9f %.9f\n", label, round, wall[a], cpu[a], wall[other], cpu[other], best[a], best[other]
      }' "$csv" >>"$work/pairs.dat"
  done
}

# column LABEL FIELD: that field of every round of LABEL.
column() { awk -v l="$1" -v f="$2" '$1 == l { print $f }' "$work/pairs.dat"; }
# ratios LABEL A_FIELD B_FIELD: per-round A / B.
ratios() { awk -v l="$1" -v a="$2" -v b="$3" '$1 == l && $b > 0 { print $a / $b }' "$work/pairs.dat"; }

echo "measuring: $rounds rounds x $runs runs per command (warm-up $warmup); machine load: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
for c in "${cases[@]}"; do
  IFS='|' read -r name query steps needle <<<"$c"
  [ "$steps" = "-" ] && steps=""
  echo "  $name" >&2
  pair "$name" "$rounds" "$runs" QUERY_STRING="$query" -- "$plugin" -- "$work/floor/$name ${steps:+D$steps}"
done
shell_cases=(status start poll)
for c in "${cases[@]}"; do
  IFS='|' read -r name query steps needle <<<"$c"
  case " ${shell_cases[*]} " in *" $name "*) ;; *) continue ;; esac
  echo "  $name against the shell floor" >&2
  pair "shell-$name" "$rounds" "$runs" QUERY_STRING="$query" -- "$plugin" -- "$work/floor/$name $steps"
done
echo "  page: static against dynamic floor (what static linking buys)" >&2
pair page-linking "$rounds" "$runs" QUERY_STRING= -- "$work/floor/page-dynamic" -- "$work/floor/page"

if [ -n "$dynamic" ]; then
  echo "  dynamic against static plugin" >&2
  pair link-status "$rounds" "$runs" QUERY_STRING=action=status -- "$dynamic" -- "$plugin"
  pair link-page "$rounds" "$runs" QUERY_STRING= -- "$dynamic" -- "$plugin"
fi

echo "  status with slow tools" >&2
pair slow "$slow_rounds" "$slow_runs" QUERY_STRING=action=status "${slow_env[@]}" -- \
  "$plugin" -- "$work/floor/slow Ds"
pair slow-sequential "$slow_rounds" "$slow_runs" QUERY_STRING=action=status "${slow_env[@]}" -- \
  "$work/floor/slow Dhs" -- "$work/floor/slow Ds"

# --- scaling: the plugin against itself at growing input sizes ------------------
# Each size is paired with the smallest one, so every ratio is measured in
# the same rounds as its reference.
echo "  scaling" >&2
scale_rounds=5
pair creds-1m "$scale_rounds" 20 QUERY_STRING=action=status LUMIVANE_CREDS_PATH="$work/creds-1m.json" -- \
  "$plugin" -- "$work/floor/status Dpsw"
pair creds-8m "$scale_rounds" 20 QUERY_STRING=action=status LUMIVANE_CREDS_PATH="$work/creds-8m.json" -- \
  "$plugin" -- "$work/floor/status Dpsw"
pair out-64k "$scale_rounds" 30 QUERY_STRING=action=status BENCH_STATUS_BYTES=65536 -- \
  "$plugin" -- "$work/floor/status Dpsw"
pair out-256k "$scale_rounds" 30 QUERY_STRING=action=status BENCH_STATUS_BYTES=262144 -- \
  "$plugin" -- "$work/floor/status Dpsw"
pair out-1k "$scale_rounds" 30 QUERY_STRING=action=status BENCH_STATUS_BYTES=1024 -- \
  "$plugin" -- "$work/floor/status Dpsw"

# --- instructions of the plugin's own process, and peak memory -------------------
# callgrind counts the process it starts and nothing it spawns.
instructions() {
  in_env "$@" 2>&1 >/dev/null | awk '/Collected :/ { print $NF }'
}
callgrind=(valgrind --tool=callgrind --trace-children=no --callgrind-out-file=/dev/null)
# Peak resident set (KiB) by /usr/bin/time -v: the median of five runs.
# GNU time reports the largest of the process and the children it waited
# for, so a process smaller than /bin/sh shows the shell's size.
peak_rss() {
  local i
  for i in 1 2 3 4 5; do
    in_env "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
  done | stats | cut -d' ' -f1
}
echo "  instructions and memory" >&2
: >"$work/counts.dat"
for c in "${cases[@]}"; do
  IFS='|' read -r name query steps needle <<<"$c"
  [ "$steps" = "-" ] && steps=""
  ir_p=$(instructions QUERY_STRING="$query" -- "${callgrind[@]}" "$plugin")
  ir_f=$(instructions QUERY_STRING="$query" -- "${callgrind[@]}" "$work/floor/$name" ${steps:+D$steps})
  rss_p=$(peak_rss QUERY_STRING="$query" -- /usr/bin/time -v "$plugin")
  rss_f=$(peak_rss QUERY_STRING="$query" -- /usr/bin/time -v "$work/floor/$name" ${steps:+D$steps})
  echo "$name $ir_p $ir_f $rss_p $rss_f" >>"$work/counts.dat"
done
if [ -n "$dynamic" ]; then
  for q in status page; do
    query=action=$q
    [ "$q" = page ] && query=
    echo "$q $(instructions QUERY_STRING="$query" -- "${callgrind[@]}" "$dynamic")" \
      "$(instructions QUERY_STRING="$query" -- "${callgrind[@]}" "$plugin")" >>"$work/link.dat"
  done
fi
scale_counts() {
  local label=$1
  shift
  local ir rss
  ir=$(instructions QUERY_STRING=action=status "$@" -- "${callgrind[@]}" "$plugin")
  rss=$(peak_rss QUERY_STRING=action=status "$@" -- /usr/bin/time -v "$plugin")
  echo "$label $ir $rss" >>"$work/scale.dat"
}
: >"$work/scale.dat"
scale_counts creds-1k
scale_counts creds-1m LUMIVANE_CREDS_PATH="$work/creds-1m.json"
scale_counts creds-8m LUMIVANE_CREDS_PATH="$work/creds-8m.json"
scale_counts out-1k BENCH_STATUS_BYTES=1024
scale_counts out-64k BENCH_STATUS_BYTES=65536
scale_counts out-256k BENCH_STATUS_BYTES=262144

# --- the table --------------------------------------------------------------------
ms() { awk -v s="$1" 'BEGIN { printf "%.2f", s * 1000 }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t) ? "met" : "MISSED" }'; }
ratio_cell() {  # LABEL A B -> "median (spread min-max)"
  ratios "$1" "$2" "$3" | stats | awk '{ printf "%.3f (%.3f-%.3f)", $1, $2, $3 }'
}
median_of() { column "$1" "$2" | stats | cut -d' ' -f1; }

{
  echo "# Benchmark results"
  echo
  echo "Produced by \`scripts/bench.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) cores;"
  echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg). Plugin: \`$(basename "$plugin")\`,"
  echo "$(stat -c %s "$plugin") bytes, $(if readelf -d "$plugin" 2>/dev/null | grep -q NEEDED; then echo "dynamically linked"; else echo "statically linked"; fi)."
  echo "$rounds interleaved rounds of $runs runs per command (warm-up $warmup) for the actions;"
  echo "ratios are medians of the per-round ratios, with their lowest and highest in brackets."
  echo "Wall: hyperfine's median run; CPU: user + system of the process and every child it waited for;"
  echo "best run: the fastest run of each command in a round. The verdict takes the larger of the wall"
  echo "and CPU ratios. The floor is a static C program (bench/floor.c) that starts the same tools"
  echo "directly with posix_spawn (no shell), reads their output and writes the plugin's own answer"
  echo "bytes; the shell floor is the same program starting them through /bin/sh, as the plugin once did."
  echo
  echo "Measured at ${priority[*]:-the default priority}."
  echo
  echo "Page: $(($(stat -c %s "$work/resp/page"))) bytes served (header included)."
  echo
  echo "## Requests with instant stand-in tools, against the floor program"
  echo
  echo "| case | plugin wall ms | floor wall ms | wall ratio (spread) | CPU ratio (spread) | best-run ratio (spread) | target | verdict |"
  echo "|---|---|---|---|---|---|---|---|"
  for c in "${cases[@]}"; do
    IFS='|' read -r name query steps needle <<<"$c"
    target=1.10
    [ "$name" = page ] && target=1.25
    w=$(ratios "$name" 3 5 | stats | cut -d' ' -f1)
    u=$(ratios "$name" 4 6 | stats | cut -d' ' -f1)
    worst=$(awk -v a="$w" -v b="$u" 'BEGIN { print (a > b) ? a : b }')
    echo "| $name | $(ms "$(median_of "$name" 3)") | $(ms "$(median_of "$name" 5)") | $(ratio_cell "$name" 3 5) | $(ratio_cell "$name" 4 6) | $(ratio_cell "$name" 7 8) | <= $target | $(verdict "$worst" "$target") |"
  done
  for name in "${shell_cases[@]}"; do
    echo "| reference: $name against the shell floor | $(ms "$(median_of "shell-$name" 3)") | $(ms "$(median_of "shell-$name" 5)") | $(ratio_cell "shell-$name" 3 5) | $(ratio_cell "shell-$name" 4 6) | $(ratio_cell "shell-$name" 7 8) | - | - |"
  done
  echo "| reference: dynamic floor / static floor, page | $(ms "$(median_of page-linking 3)") | $(ms "$(median_of page-linking 5)") | $(ratio_cell page-linking 3 5) | $(ratio_cell page-linking 4 6) | $(ratio_cell page-linking 7 8) | - | - |"
  if [ -n "$dynamic" ]; then
    echo
    echo "## Linking: the same plugin dynamically linked, against the static build"
    echo
    echo "| case | dynamic wall ms | static wall ms | wall ratio (spread) | CPU ratio (spread) | best-run ratio (spread) | dynamic instructions | static instructions |"
    echo "|---|---|---|---|---|---|---|---|"
    for q in status page; do
      read -r _ ir_d ir_s < <(grep "^$q " "$work/link.dat")
      echo "| $q | $(ms "$(median_of "link-$q" 3)") | $(ms "$(median_of "link-$q" 5)") | $(ratio_cell "link-$q" 3 5) | $(ratio_cell "link-$q" 4 6) | $(ratio_cell "link-$q" 7 8) | $ir_d | $ir_s |"
    done
  fi
  echo
  echo "## Status with slow tools (each stand-in sleeps 200 ms)"
  echo
  echo "| case | wall ms | baseline: one tool, wall ms | ratio (spread) | target | verdict |"
  echo "|---|---|---|---|---|---|"
  s=$(ratios slow 3 5 | stats | cut -d' ' -f1)
  echo "| plugin status, probe overlapped | $(ms "$(median_of slow 3)") | $(ms "$(median_of slow 5)") | $(ratio_cell slow 3 5) | <= 1.15 | $(verdict "$s" 1.15) |"
  echo "| reference: the two tools one after the other | $(ms "$(median_of slow-sequential 3)") | $(ms "$(median_of slow-sequential 5)") | $(ratio_cell slow-sequential 3 5) | - | - |"
  echo
  echo "## Instructions of the plugin's own process and peak memory"
  echo
  echo "callgrind, children not followed; peak RSS by /usr/bin/time -v (median of 5; the largest of the process and its waited-for children)."
  echo
  echo "| case | plugin instructions | floor instructions | plugin - floor | plugin peak RSS KiB | floor peak RSS KiB | RSS over floor KiB | target | verdict |"
  echo "|---|---|---|---|---|---|---|---|---|"
  while read -r name ir_p ir_f rss_p rss_f; do
    over=$((rss_p - rss_f))
    echo "| $name | $ir_p | $ir_f | $((ir_p - ir_f)) | $rss_p | $rss_f | $over | <= 1024 | $(verdict "$over" 1024) |"
  done <"$work/counts.dat"
  echo
  echo "## Scaling of status with input size"
  echo
  echo "Wall times are medians over rounds, each measured beside the floor for status; 'per KiB' is the"
  echo "added cost per KiB over the previous size: linear growth keeps it roughly constant, quadratic"
  echo "growth would multiply it by the size ratio (8 for 1 MiB -> 8 MiB, 4 for 64 KiB -> 256 KiB)."
  echo
  echo "| input | size | wall ms | instructions | added instructions per KiB | peak RSS KiB |"
  echo "|---|---|---|---|---|---|"
  scale_row() {  # label kib wall_label prev_label prev_kib
    local label=$1 kib=$2 wall=$3 prev=$4 prev_kib=$5
    local ir rss per="-"
    read -r _ ir rss < <(grep "^$label " "$work/scale.dat")
    if [ -n "$prev" ]; then
      local pir
      pir=$(awk -v l="$prev" '$1 == l { print $2 }' "$work/scale.dat")
      per=$(awk -v a="$ir" -v b="$pir" -v k="$kib" -v p="$prev_kib" 'BEGIN { printf "%.0f", (a - b) / (k - p) }')
    fi
    echo "| ${label%%-*} | ${label#*-} | $(ms "$wall") | $ir | $per | $rss |"
  }
  scale_row creds-1k 1 "$(median_of status 3)" "" 0
  scale_row creds-1m 1024 "$(median_of creds-1m 3)" creds-1k 1
  scale_row creds-8m 8192 "$(median_of creds-8m 3)" creds-1m 1024
  scale_row out-1k 1 "$(median_of out-1k 3)" "" 0
  scale_row out-64k 64 "$(median_of out-64k 3)" out-1k 1
  scale_row out-256k 256 "$(median_of out-256k 3)" out-64k 64
} >"$results"

cat "$results"
