#!/bin/bash
# Builds the libFuzzer harnesses with clang (in build-fuzz/) and runs each
# for SECONDS (default 60), two at a time, at the lowest priority.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
#   scripts/fuzz.sh --summary [HARNESS...]   (the table of the last runs only)
#
# Corpora live in build-fuzz/corpus/<harness>/ and grow from run to run; they
# are seeded from the sample game (build/demo, unpacked with lyrapack), the
# conformance PNGs (../shared/conformance) and the end-to-end input scripts.
# Inputs that crash, leak or time out are written to build-fuzz/findings/
# <harness>/; copy each into fuzz/regressions/<harness>/ once it is fixed, so
# that CTest replays it in every build. A summary (executions, coverage,
# findings per harness) is printed at the end and kept in
# build-fuzz/fuzz-summary.txt.
set -euo pipefail

seconds=${1:-60}
shift || true
summary_only=0
[ "$seconds" = "--summary" ] && summary_only=1
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz=$root/build-fuzz
all=(archive loose_names text_lines config expression png img_definition map_file ogg_stream save_container
     flag_file read_log user_settings input_script flow_file slot_file script script_state
     sound_section decode_ahead_scan)
if [ $# -gt 0 ]; then harnesses=("$@"); else harnesses=("${all[@]}"); fi

# Executions, coverage (edges), features and findings of the last runs.
summary() {
  printf '%-16s %12s %8s %8s %9s\n' harness executions coverage features findings
  for h in "${harnesses[@]}"; do
    local log=$fuzz/logs/$h.log execs cov ft found
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" 2> /dev/null | grep -o '[0-9]*$' | tail -1 || true)
    cov=$(grep -o 'cov: [0-9]*' "$log" 2> /dev/null | tail -1 | grep -o '[0-9]*' || true)
    ft=$(grep -o 'ft: [0-9]*' "$log" 2> /dev/null | tail -1 | grep -o '[0-9]*' || true)
    found=$(find "$fuzz/findings/$h" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
      -o -name 'oom-*' -o -name 'slow-unit-*' \) 2> /dev/null | wc -l)
    printf '%-16s %12s %8s %8s %9s\n' "$h" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$found"
  done
}
if [ "$summary_only" = 1 ]; then
  summary
  exit 0
fi

export CCACHE_DIR=${CCACHE_DIR:-/work/.ccache}
if [ ! -f "$fuzz/build.ninja" ]; then
  launcher=()
  command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLYRABAN_FUZZ=ON \
    -DLYRABAN_BUILD_TESTS=OFF -DLYRABAN_BUILD_BENCH=OFF "${launcher[@]}"
fi
nice -n 19 cmake --build "$fuzz" -j2 --target "${harnesses[@]/#/fuzz_}"

# --- seed corpora --------------------------------------------------------------
seed() {  # harness file...
  mkdir -p "$fuzz/corpus/$1"
  local h=$1
  shift
  for f in "$@"; do [ -f "$f" ] && cp "$f" "$fuzz/corpus/$h/seed-$(basename "$f")"; done
  return 0
}
if [ ! -d "$fuzz/corpus" ]; then
  for h in "${all[@]}"; do mkdir -p "$fuzz/corpus/$h"; done
  game=$root/build/demo
  unpacked=$fuzz/seed-game
  lyrapack=$root/build/tools/lyrapack
  if [ -x "$lyrapack" ] && [ -d "$game/data" ]; then
    for dat in "$game"/data/*.dat; do "$lyrapack" extract "$dat" "$unpacked" > /dev/null || true; done
    seed archive "$game"/data/*.dat
  else
    echo "fuzz: no sample game in build/demo (build the demo target for richer seeds)" >&2
  fi
  shopt -s nullglob nocaseglob globstar
  seed script "$unpacked"/script/*.txt
  seed text_lines "$unpacked"/script/*.txt "$unpacked"/config/*.txt
  seed config "$unpacked"/config/*.txt "$unpacked"/config/*.ini
  printf '(a + 3) * 2 >= g && b != 1' > "$fuzz/corpus/expression/seed-1"
  printf 'a = g * 2 - (b %% 7)' > "$fuzz/corpus/expression/seed-2"
  seed png "$unpacked"/**/*.png "$root"/../shared/conformance/pngsuite/*.png
  seed img_definition "$unpacked"/**/*.img
  seed decode_ahead_scan "$unpacked"/script/*.txt "$unpacked"/**/*.img
  seed map_file "$unpacked"/**/*.map
  seed ogg_stream "$unpacked"/**/*.ogg
  seed input_script "$root"/tests/e2e/*.input
  seed flow_file "$root"/demo/flow/*.txt
  printf '\\1 5\r\\8 12\rstart\r\\3 3\rchapter1\r\0' > "$fuzz/corpus/read_log/seed-1"
  head -c 4000 /dev/zero > "$fuzz/corpus/flag_file/seed-1"
  head -c 336 /dev/zero > "$fuzz/corpus/user_settings/seed-1"
  printf 'script\0start.txt' > "$fuzz/corpus/loose_names/seed-1"
  printf 'IMG\0bg/A.png' > "$fuzz/corpus/loose_names/seed-2"
  # A container: key length, key, value length, value (little-endian).
  python3 -c "
import struct, sys
def e(k, v): return struct.pack('<I', len(k)) + k + struct.pack('<I', len(v)) + v
inner = e(b'Flags', bytes(4000))
sys.stdout.buffer.write(e(b'Name', b'slot\0') + e(b'Time', struct.pack('<I', 7)) + e(b'Data_Flags', inner))
" > "$fuzz/corpus/save_container/seed-1"
fi

# Every input kept as a regression seeds its harness's corpus too (for a
# harness added after the corpora were made, they are its only seeds).
for h in "${harnesses[@]}"; do
  mkdir -p "$fuzz/corpus/$h"
  if [ -d "$root/fuzz/regressions/$h" ]; then cp -n "$root/fuzz/regressions/$h"/* "$fuzz/corpus/$h/" 2> /dev/null || true; fi
done

# --- runs ----------------------------------------------------------------------
mkdir -p "$fuzz/logs"
run() {  # harness
  local h=$1 dict=() limit=20
  [ -f "$root/fuzz/dict/$h.dict" ] && dict=(-dict="$root/fuzz/dict/$h.dict")
  # A whole-engine run of a script that never waits spins through two
  # seconds of virtual time one poll at a time: slow under instrumentation
  # on a busy machine, but bounded.
  [ "$h" = script ] && limit=90
  mkdir -p "$fuzz/findings/$h"
  (cd "$fuzz/findings/$h" && nice -n 19 "$fuzz/fuzz/fuzz_$h" "$fuzz/corpus/$h" "${dict[@]}" \
    -max_total_time="$seconds" -timeout="$limit" -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$fuzz/findings/$h/" > "$fuzz/logs/$h.log" 2>&1) || true
}
pids=()
for h in "${harnesses[@]}"; do
  run "$h" &
  pids+=($!)
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
wait

summary | tee "$fuzz/fuzz-summary.txt"
