#!/usr/bin/env bash
# Every test of the project, from a fresh Debian 12 machine: installs what
# is missing (as root), builds from scratch and runs each stage in turn.
# Stops at the first failing stage.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stages=(native)
for extra in sanitize fuzz-smoke browser windows; do
  [ -x "$here/test-$extra.sh" ] && stages+=("$extra")
done
for stage in "${stages[@]}"; do
  echo "=== stage: $stage ==="
  "$here/test-$stage.sh"
done
echo "=== all stages passed: ${stages[*]} ==="
