#!/usr/bin/env bash
# The project's tests, from a fresh Debian 12 machine: installs what is
# missing (as root), builds from scratch and runs each stage in turn.
#   scripts/test.sh                   every stage
#   scripts/test.sh native browser    only the stages named, in that order
# Stops at the first failing stage. The last line adds up the counts of
# every stage's test runner (CTest for unit, end-to-end, browser and wine
# tests; the hosts and release stages' own checks).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Every stage, named here: each runs scripts/test-<stage>.sh.
all_stages=(native sanitize fuzz-smoke web browser hosts windows release)
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  case " ${all_stages[*]} " in
    *" $stage "*) ;;
    *) echo "unknown stage: $stage (stages: ${all_stages[*]})" >&2; exit 2 ;;
  esac
done
log=$(mktemp /tmp/lumivane-test-XXXXXX.log)
trap 'rm -f "$log"' EXIT
for stage in "${stages[@]}"; do
  echo "=== stage: $stage ==="
  bash "$here/test-$stage.sh" 2>&1 | tee -a "$log"
done
echo "=== all stages passed: ${stages[*]} ==="
# CTest closes with "100% tests passed, 0 tests failed out of 68", and
# lists each skipped test as "<n> - <name> (Skipped)" under "The following
# tests did not run:"; a skipped test counts as neither passed nor failed.
# The stages that are not CTest runs (node's test runner, the hosts and
# release checks) close with "# pass N" and "# fail N".
awk '
  /^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+$/ { failed += $4; passed += $NF - $4 }
  /^# pass [0-9]+$/ { passed += $3 }
  /^# fail [0-9]+$/ { failed += $3 }
  /^[ \t]*[0-9]+ - .* \(Skipped\)$/ { skipped++; passed-- }
  END { printf "total: %d passed, %d failed, %d skipped\n", passed, failed, skipped }
' "$log"
