#!/usr/bin/env bash
# Start-up of a big game beside the sample game: the sample game as built,
# and the same game with the generated 20,000 entries in 8 more archives in
# its data folder. Each run starts the program headless and ends it once
# the first frame is presented (--run-ms 1: the clock passes 1 ms with that
# frame); the two are run alternately, RUNS times each, and the medians of
# the wall times are printed with their difference.
#
# Usage: bench/startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sample" "$work/big"
cp -r "$build/demo/data" "$work/sample/"
cp -r "$build/demo/data" "$work/big/"
"$build/bench/lyraban_make_big_game" "$work/big/data" 20000 8
echo "archives: sample $(ls "$work/sample/data" | wc -l), big $(ls "$work/big/data" | wc -l)"
# One untimed run each fills the page cache.
for game in sample big; do "$build/src/core/lyraban" --headless --run-ms 1 "$work/$game" >/dev/null 2>&1; done
for ((i = 0; i < runs; ++i)); do
  for game in sample big; do
    start=$(date +%s%N)
    (cd "$work/$game" && "$build/src/core/lyraban" --headless --run-ms 1 "$work/$game" >/dev/null 2>&1)
    echo "$game $((($(date +%s%N) - start) / 1000))" >>"$work/times"
  done
done
python3 - "$work/times" <<'PY'
import statistics, sys
times = {}
for line in open(sys.argv[1]):
    game, us = line.split()
    times.setdefault(game, []).append(int(us) / 1000)
m = {g: statistics.median(v) for g, v in times.items()}
for g in ("sample", "big"):
    print(f"{g:6} median {m[g]:7.1f} ms  (min {min(times[g]):.1f}, max {max(times[g]):.1f}, {len(times[g])} runs)")
print(f"big - sample: {m['big'] - m['sample']:+.1f} ms")
PY
