#!/bin/bash
# Plays the sample game headless with random input for MINUTES of wall time
# and samples the program's resident memory.
#
#   scripts/soak.sh MINUTES [BUILD_DIR]
#
# Each run gets a fresh random input script (clicks, right clicks, keys,
# wheel, the skip key, popup menu answers) spread over many hours of virtual
# time, with quick saves and loads, and visits to the save and load screens
# that pick a slot, type a comment and confirm; when a run ends (the game can be quit from its menus) the next one
# starts with a new seed. Memory is sampled every SOAK_SAMPLE_SECONDS (5)
# into SOAK_DIR/memory.csv (SOAK_DIR: BUILD_DIR/soak). A crash (a run that
# ends on a signal or a sanitizer report) is kept with its input under
# SOAK_DIR and makes the exit status 1. MINUTES may be a fraction (CI runs a short version).
set -euo pipefail

minutes=${1:?usage: soak.sh MINUTES [BUILD_DIR]}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build}
lyraban=$build/src/core/lyraban
game=$build/demo
sample=${SOAK_SAMPLE_SECONDS:-5}
[ -x "$lyraban" ] || { echo "soak: no $lyraban; build first" >&2; exit 2; }
[ -d "$game/data" ] || { echo "soak: no sample game in $game; build the demo target first" >&2; exit 2; }

out=${SOAK_DIR:-$build/soak}
rm -rf "$out"
mkdir -p "$out/run"
csv=$out/memory.csv
echo "seconds,run,rss_kb" > "$csv"
deadline=$(( $(date +%s) + $(python3 -c "print(int(float('$minutes') * 60))") ))
start=$(date +%s)

make_input() {  # seed file
  python3 - "$1" > "$2" <<'PY'
import random, sys
rng = random.Random(int(sys.argv[1]))
keys = ["Enter", "Space", "Escape", "Tab", "Up", "Down", "Left", "Right", "PageUp", "PageDown",
        "Home", "End", "F1", "F2", "F5", "Backspace", "Shift+Right", "Shift+Down", "Apps", "A", "S", "1"]
t = 500
while t < 6 * 3600 * 1000:
    t += rng.choice([30, 80, 150, 300, 700, 1500, 4000])
    r = rng.random()
    x, y = rng.randrange(-20, 820), rng.randrange(-20, 620)
    if r < 0.45:
        print(f"{t} click {x} {y}")
    elif r < 0.55:
        print(f"{t} move {x} {y}")
    elif r < 0.62:
        print(f"{t} wheel {rng.choice(['up', 'down'])}")
    elif r < 0.80:
        print(f"{t} key {rng.choice(keys)}")
    elif r < 0.85:
        print(f"{t} ctrl down")
        print(f"{t + rng.randrange(50, 3000)} ctrl up")
    elif r < 0.88:
        print(f"{t} menu {rng.randrange(0, 40)}")
        print(f"{t + 1} rclick {x} {y}")
    elif r < 0.93:
        # Saving and loading: quick save/load, or a screen with a slot picked,
        # sometimes a comment typed, then OK (Enter) or back (Escape).
        which = rng.random()
        if which < 0.35:
            print(f"{t} key Insert")
        elif which < 0.6:
            print(f"{t} key Delete")
        else:
            print(f"{t} key {rng.choice(['Home', 'End'])}")
            t += 400
            for _ in range(rng.randrange(0, 4)):
                print(f"{t} key {rng.choice(['Right', 'Down', 'Left'])}")
                t += 100
            print(f"{t} key Enter")
            if rng.random() < 0.3:
                t += 300
                print(f"{t} click {rng.randrange(0, 800)} {rng.randrange(0, 600)}")
                print(f"{t + 200} text soak {rng.randrange(1000)}")
                t += 400
            t += 300
            print(f"{t} key {rng.choice(['Enter', 'Enter', 'Escape'])}")
            print(f"{t + 300} key Escape")
    else:
        print(f"{t} rclick {x} {y}")
PY
}

runs=0
crashes=0
while [ "$(date +%s)" -lt "$deadline" ]; do
  runs=$((runs + 1))
  seed=$((RANDOM * 32768 + RANDOM))
  input=$out/run/input-$runs.txt
  make_input "$seed" "$input"
  # A fresh current folder per run holds the player's settings; the save
  # folder is the game's own, so read logs and flags carry over between runs.
  (cd "$out/run" && exec nice -n 19 "$lyraban" --headless --run-ms 21600000 --input "$input" \
     --trace "$out/run/trace-$runs.txt" "$game" > "$out/run/output-$runs.txt" 2>&1) &
  pid=$!
  while kill -0 "$pid" 2> /dev/null; do
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2> /dev/null || true)
    # The subshell execs lyraban, so the pid is the program's own.
    [ -n "$rss" ] && echo "$(( $(date +%s) - start )),$runs,$rss" >> "$csv"
    if [ "$(date +%s)" -ge "$deadline" ]; then
      kill "$pid" 2> /dev/null || true
      break
    fi
    sleep "$sample"
  done
  status=0
  wait "$pid" || status=$?
  if [ "$(date +%s)" -lt "$deadline" ] && { [ "$status" -ne 0 ] || grep -q "ERROR: \|runtime error" "$out/run/output-$runs.txt"; }; then
    crashes=$((crashes + 1))
    mkdir -p "$out/crash-$runs"
    cp "$input" "$out/run/output-$runs.txt" "$out/run/trace-$runs.txt" "$out/crash-$runs/" 2> /dev/null || true
    echo "soak: run $runs (seed $seed) ended with status $status; kept in $out/crash-$runs" >&2
  else
    rm -f "$input" "$out/run/trace-$runs.txt"
  fi
done

python3 - "$csv" "$runs" "$crashes" <<'PY'
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1])))
runs, crashes = int(sys.argv[2]), int(sys.argv[3])
print(f"soak: {runs} runs, {crashes} crashes, {len(rows)} memory samples")
if rows:
    rss = [int(r["rss_kb"]) for r in rows]
    # Growth within the longest run, after its first quarter (start-up done).
    by_run = {}
    for r in rows:
        by_run.setdefault(r["run"], []).append(int(r["rss_kb"]))
    longest = max(by_run.values(), key=len)
    settled = longest[len(longest) // 4:]
    print(f"soak: resident memory min {min(rss)} kB, max {max(rss)} kB")
    print(f"soak: longest run: {len(longest)} samples, settled from {settled[0]} kB to {settled[-1]} kB"
          f" (growth {settled[-1] - settled[0]:+d} kB)")
PY
[ "$crashes" -eq 0 ]
