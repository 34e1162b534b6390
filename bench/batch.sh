#!/usr/bin/env bash
# Batch cleaner benchmark: 16 full-size pages (6550 x 9080, copies of the
# benchmark page as PNG) through density mode 2 and the whole-page dust
# removal, written as LZW TIFF, once with --jobs 1 and once with --jobs 2.
# Reports pages a second and peak memory of both runs and ends with
#   RESULT batch_jobs2 ours_ms=<jobs 2 wall ms> baseline_ms=<jobs 1 wall ms>
#          ratio=<ours/baseline> peak_mb=<jobs 2 peak resident MB>
# Goal: --jobs 2 at least 1.8 times the pages a second of --jobs 1 on two
# cores, and at most about five page sizes (5 x 59.5 MB) of memory per job.
#
# Usage: bench/batch.sh [build folder]   (default: build/release, built here)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${1:-build/release}"
pages=${BENCH_PAGES:-16}

if [ "$build" = "build/release" ]; then
  cmake --preset release >/dev/null
fi
cmake --build "$build" --target tavelmor-batch -j 2 >/dev/null
program="$build/bin/tavelmor-batch"

page="$root/build/bench-pages/page_full.png"
[ -f "$page" ] || tools/make-bench-page.sh "$root/build/bench-pages"

work="$root/build/bench-batch"
rm -rf "$work"
mkdir -p "$work/in"
for i in $(seq -w 1 "$pages"); do cp "$page" "$work/in/page_$i.png"; done
# The shipped settings, so that a user's own files do not change the work.
settings="$build/share/Kestra/Tavelmor100"

declare -A wall_ms peak_mb
for jobs in 1 2; do
  out="$work/out$jobs"
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time$jobs.txt" "$program" --settings "$settings" \
    --jobs "$jobs" --quiet --density 2 --dust white --dust-size medium \
    --format tiff --compression lzw --out-dir "$out" "$work/in"
  end=$(date +%s%N)
  wall_ms[$jobs]=$(( (end - start) / 1000000 ))
  peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time$jobs.txt")
  peak_mb[$jobs]=$(( peak_kb / 1024 ))
  user_s=$(sed -n 's/.*User time (seconds): //p' "$work/time$jobs.txt")
  sys_s=$(sed -n 's/.*System time (seconds): //p' "$work/time$jobs.txt")
  # CPU seconds show whether the machine was shared with other work: on an
  # idle machine --jobs 2 keeps both cores busy (about 200 % CPU).
  awk -v n="$pages" -v ms="${wall_ms[$jobs]}" -v j="$jobs" -v mb="${peak_mb[$jobs]}" \
    -v cpu="$(awk -v u="$user_s" -v s="$sys_s" 'BEGIN { print u + s }')" \
    'BEGIN { printf "--jobs %d: %d pages in %.2f s, %.3f pages/s, peak %d MB (%.0f MB a job), cpu %.1f s (%.0f %%)\n",
             j, n, ms / 1000, n * 1000 / ms, mb, mb / j, cpu, cpu * 100000 / ms }'
done

# Both runs must have written the same files.
for f in "$work/out1"/*; do
  cmp -s "$f" "$work/out2/$(basename "$f")" || { echo "outputs differ: $f" >&2; exit 1; }
done
awk -v a="${wall_ms[1]}" -v b="${wall_ms[2]}" \
  'BEGIN { printf "speed-up of --jobs 2: %.2fx (goal 1.8x)\n", a / b }'
awk -v o="${wall_ms[2]}" -v b="${wall_ms[1]}" -v mb="${peak_mb[2]}" \
  'BEGIN { printf "RESULT batch_jobs2 ours_ms=%d baseline_ms=%d ratio=%.3f peak_mb=%d\n", o, b, o / b, mb }'
rm -rf "$work"
