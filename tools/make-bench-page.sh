#!/usr/bin/env bash
# Makes the benchmark pages (page_full.png, page_quarter.png) into OUTDIR with
# the shared generator, installing its Python packages when missing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:?usage: make-bench-page.sh OUTDIR}"
generator="${TAVELMOR_SHARED:-$here/../../shared}/bench/make_page.py"
[ -f "$generator" ] || { echo "benchmark page generator not found: $generator" >&2; exit 1; }
"$here/install-deps.sh" python3-opencv python3-numpy
mkdir -p "$out"
/usr/bin/python3 "$generator" "$out"
