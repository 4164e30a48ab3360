#!/usr/bin/env bash
# Runs two builds of the program headless on the same scripted inputs and
# compares what they leave byte for byte: the last frame, the audio dump, the
# trace, standard error and the save folder. For changes that must not move
# one pixel or one millisecond of a headless run.
#
# Usage: scripts/compare-headless.sh OLD_PROGRAM NEW_PROGRAM [GAME_FOLDER]
#   GAME_FOLDER defaults to build/demo; the inputs are the e2e scripts.
set -uo pipefail
cd "$(dirname "$0")/.."
old=$(realpath "$1")
new=$(realpath "$2")
game=$(realpath "${3:-build/demo}")
e2e=$(realpath tests/e2e)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for run in none:20000 title_menu.input:16000 good_ending.input:120000 bad_ending.input:120000 replay.input:120000; do
  input=${run%%:*}
  ms=${run##*:}
  for who in old new; do
    program=$old
    [ "$who" = new ] && program=$new
    dir=$work/$who-$input
    mkdir -p "$dir/cwd" "$dir/game"
    cp -r "$game/data" "$dir/game/"
    args=(--headless --run-ms "$ms" --trace "$dir/trace.txt" --screenshot "$dir/shot.png" --audio-dump "$dir/audio.wav")
    [ "$input" != none ] && args+=(--input "$e2e/$input")
    (cd "$dir/cwd" && "$program" "${args[@]}" "$dir/game" 2>"$dir/stderr.txt")
  done
  for file in shot.png audio.wav trace.txt stderr.txt game/save/complete.log game/save/flagdata.000 \
    game/save/flagdata.001; do
    a=$work/old-$input/$file
    b=$work/new-$input/$file
    if [ ! -e "$a" ] && [ ! -e "$b" ]; then
      result="absent from both"
    elif cmp -s "$a" "$b"; then
      result="same ($(stat -c %s "$b") bytes)"
    else
      result=DIFFERENT
      status=1
    fi
    printf '%-18s %-22s %s\n' "$input" "$file" "$result"
  done
done
exit $status
