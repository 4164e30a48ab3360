#!/usr/bin/env bash
# Builds Lyraban and starts it. With no argument it starts the game folder
# named by the build (the sample game, once it exists); any arguments are
# passed to the program as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/src/core/lyraban ]; then
  if [ "$#" -eq 0 ]; then
    exec build/src/core/lyraban build/demo
  fi
  exec build/src/core/lyraban "$@"
fi
echo "Built. The program itself is not part of this build yet."
