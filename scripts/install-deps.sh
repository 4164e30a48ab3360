#!/usr/bin/env bash
# Installs the Debian packages that building and testing Lyraban need.
# Idempotent, and silent when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git python3
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpng-dev libogg-dev libvorbis-dev
  libsdl2-dev libpixman-1-dev libspng-dev
  libfreetype-dev libfontconfig-dev
  libimgui-dev libstb-dev
  libavformat-dev libavcodec-dev libswresample-dev libswscale-dev libavutil-dev ffmpeg
  fonts-wqy-microhei
  dpkg-dev desktop-file-utils groff-base
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
