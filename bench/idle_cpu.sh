#!/usr/bin/env bash
# Processor time of the sample game in a real SDL window while little
# happens, as a player's machine would see it: the whole process's user +
# system time from /proc/PID/stat over a measuring window, in percent of one
# core. Two states are measured:
#   title  the animated title screen (stars and petals moving, the menu up)
#   wait   the first line of the prologue typed out, waiting for a click
#
# Usage: bench/idle_cpu.sh [PROGRAM] [GAME_FOLDER]
#   PROGRAM      default build/src/core/lyraban
#   GAME_FOLDER  default build/demo
# Environment: MEASURE_S (default 8), SETTLE_S (default 5), DISPLAY_NO
# (default: the first free one from 77), LYRABAN_RENDER (default software), SHOT_DIR (pictures of the
# screen before each measurement).
#
# Needs Xvfb and xdotool. Runs with the software renderer and SDL's dummy
# audio driver, so that neither a GPU nor a sound server is needed; the
# audio mixer still runs at real-time pace.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/src/core/lyraban}")
game=$(realpath "${2:-build/demo}")
measure=${MEASURE_S:-8}
settle=${SETTLE_S:-5}
# The first display number from 77 on that no X server holds; a display
# just given up may keep its lock for a moment.
if [ -z "${DISPLAY_NO:-}" ]; then
  DISPLAY_NO=77
  while [ -e "/tmp/.X$DISPLAY_NO-lock" ] && [ "$DISPLAY_NO" -lt 199 ]; do DISPLAY_NO=$((DISPLAY_NO + 1)); done
fi
display=:$DISPLAY_NO
ticks=$(getconf CLK_TCK)

work=$(mktemp -d)
xvfb_pid=
game_pid=
cleanup() {
  if [ -n "$game_pid" ]; then
    kill -KILL "$game_pid" 2>/dev/null || true
    wait "$game_pid" 2>/dev/null || true
  fi
  # Waited for, so that the next run can have the display number.
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

nice -n 19 Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.1
done

# utime + stime of a process, in clock ticks (fields 14 and 15; the command
# name in field 2 may hold blanks, so count from the closing parenthesis).
cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat")
  stat=${stat##*) }
  set -- $stat
  echo $((${12} + ${13}))
}

# With SHOT_DIR set, a picture of the screen before each measurement (to
# check that the game is where it should be).
shot() {
  [ -n "${SHOT_DIR:-}" ] || return 0
  nice -n 19 ffmpeg -loglevel error -y -f x11grab -video_size 1024x768 -i "$display" -frames:v 1 \
    "$SHOT_DIR/$1.png" || true
}

measure() {
  local label=$1 t0 t1 s0 s1
  shot "$label"
  t0=$(cpu_ticks "$game_pid")
  s0=$(date +%s.%N)
  sleep "$measure"
  t1=$(cpu_ticks "$game_pid")
  s1=$(date +%s.%N)
  awk -v l="$label" -v d=$((t1 - t0)) -v hz="$ticks" -v a="$s0" -v b="$s1" \
    'BEGIN { printf "%-6s %5.1f %% of one core (%d ticks over %.2f s)\n", l, 100 * d / hz / (b - a), d, b - a }'
}

# A fresh current folder: default player settings, nothing left over; a
# private runtime folder, so that a copy of the game running elsewhere on the
# machine does not count as this one's first copy.
cd "$work"
mkdir -m 700 "$work/run"
XDG_RUNTIME_DIR=$work/run DISPLAY=$display SDL_RENDER_DRIVER=${LYRABAN_RENDER:-software} SDL_AUDIODRIVER=dummy \
  "$program" "$game" >"$work/out.log" 2>&1 &
game_pid=$!

window=
for _ in $(seq 300); do
  window=$(DISPLAY=$display xdotool search --class lyraban 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "no window appeared" >&2
  cat "$work/out.log" >&2
  exit 1
fi

# The title: splash, fade-in, then the menu over the moving stars.
sleep "$settle"
measure title

# 开始游戏 starts the prologue; its first line is typed and then waits.
DISPLAY=$display xdotool mousemove --window "$window" 400 190 click 1
sleep "$settle"
measure wait

kill -TERM "$game_pid" 2>/dev/null || true
for _ in $(seq 50); do
  kill -0 "$game_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$game_pid" 2>/dev/null; then
  echo "the game did not end on SIGTERM" >&2
  kill -KILL "$game_pid" 2>/dev/null || true
fi
wait "$game_pid" 2>/dev/null || true
game_pid=
