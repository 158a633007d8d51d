#!/usr/bin/env bash
# The console's logic scripts (src/web/logic/) under node --test:
# the tables in tests/web/*.test.mjs (one file per module), with no
# browser, no host and no npm package.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
command -v node >/dev/null || ensure_packages nodejs
cd "$root"
node --test tests/web/*.test.mjs
