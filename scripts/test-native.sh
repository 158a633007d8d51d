#!/usr/bin/env bash
# Builds the Release program and runs the unit and end-to-end tests.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/release"
ctest --test-dir "$root/build/release" -L "unit|e2e" --output-on-failure -j2
