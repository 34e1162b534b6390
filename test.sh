#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer preset and runs every test.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"
