#!/usr/bin/env bash
# Makes the sample game for a 1920 × 1080 screen: the same scripts, sounds
# and scenes, with the scene pictures drawn at that size and the screen size
# set in its configuration; packed like the sample game into OUT/data/.
#
# Usage: scripts/make-1080p-game.sh GAMEGEN LYRAPACK DEMO_SOURCES OUT [MOVIE_DIR]
#   (the build's `demo1080` target runs it into build/demo1080); the opening
#   movie of MOVIE_DIR, when given, is copied to OUT/movie/.
set -euo pipefail
gamegen=$1 lyrapack=$2 src=$3 out=$4 movies=${5:-}
stage=$out/staging
rm -rf "$stage" "$out/data"
mkdir -p "$stage/system" "$stage/script" "$out/data"
"$gamegen" --screen 1920x1080 "$stage"
cp -r "$src/config" "$stage/system/config"
sed -i -e 's/^ScreenWidth=.*/ScreenWidth=1920/' -e 's/^ScreenHeight=.*/ScreenHeight=1080/' \
  "$stage/system/config/system.txt"
grep -q '^ScreenWidth=1920' "$stage/system/config/system.txt"
for dir in script anime map flow; do cp -r "$src/$dir" "$stage/script/$dir"; done
cp -r "$src/patch" "$stage/patch"
"$lyrapack" create "$out/data/system.dat" "$stage/system" --priority 0 --convert-text
"$lyrapack" create "$out/data/script.dat" "$stage/script" --priority 1 --scramble 23 --convert-text
"$lyrapack" create "$out/data/graphics.dat" "$stage/graphics" --priority 1 --scramble 90
"$lyrapack" create "$out/data/sound.dat" "$stage/sound" --priority 1
"$lyrapack" create "$out/data/patch.dat" "$stage/patch" --priority 10 --convert-text
rm -rf "$stage" "$out/movie"
if [ -n "$movies" ]; then cp -r "$movies" "$out/movie"; fi
echo "1920x1080 sample game in $out/data"
