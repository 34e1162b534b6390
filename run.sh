#!/usr/bin/env bash
# The first thing to run: installs what is missing, builds the optimised
# preset and cleans the bundled sample scans with the batch cleaner, using the
# medium dust presets. Cleaned pages land in out/, their dust previews (every
# pixel the removal changes, in the dust colour) in out/preview/, and the
# report is printed.
#
# Usage: ./run.sh [--batch [more tavelmor-batch options]]
# (Once the editor window exists, plain ./run.sh will start it; --batch keeps
# this run.)
set -euo pipefail
cd "$(dirname "$0")"

if [ $# -gt 0 ]; then
  if [ "$1" != "--batch" ]; then
    echo "usage: ./run.sh [--batch [tavelmor-batch options]]" >&2
    exit 2
  fi
  shift
fi

tools/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset release
cmake --build --preset release -j "$jobs" --target tavelmor-batch

echo
echo "Cleaning the sample pages in samples/ into out/ ..."
exec build/release/bin/tavelmor-batch \
  --dust white --dust-size medium --threshold medium \
  --out-dir out --preview out/preview --overwrite \
  "$@" samples
