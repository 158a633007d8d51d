#!/usr/bin/env bash
# Every test of the project, from a fresh Debian 12 machine: installs what
# is missing (as root), builds from scratch and runs each stage in turn.
# Stops at the first failing stage. The last line adds up the counts that
# each stage's test runner reported (CTest and node's test runner).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Every stage, named here: each runs scripts/test-<stage>.sh.
stages=(native sanitize fuzz-smoke web browser windows)
log=$(mktemp /tmp/lumivane-test-XXXXXX.log)
trap 'rm -f "$log"' EXIT
for stage in "${stages[@]}"; do
  echo "=== stage: $stage ==="
  bash "$here/test-$stage.sh" 2>&1 | tee -a "$log"
done
echo "=== all stages passed: ${stages[*]} ==="
# CTest closes with "100% tests passed, 0 tests failed out of 68", node's
# runner with "# pass 29" and "# fail 0".
awk '
  /^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+$/ { failed += $4; passed += $NF - $4 }
  /^# pass [0-9]+$/ { passed += $3 }
  /^# fail [0-9]+$/ { failed += $3 }
  END { printf "total: %d passed, %d failed\n", passed, failed }
' "$log"
