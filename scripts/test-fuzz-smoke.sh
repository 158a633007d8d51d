#!/usr/bin/env bash
# A short fuzzing pass: builds every libFuzzer target and runs each for a
# bounded time (FUZZ_SMOKE_SECONDS, default 20) from its seed corpus, two at
# a time. Any crash, sanitizer finding or violated property fails the stage.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
ensure_packages cmake ninja-build clang-14 libclang-rt-14-dev
JOBS=2 "$(dirname "$0")/fuzz.sh" "${FUZZ_SMOKE_SECONDS:-20}"
