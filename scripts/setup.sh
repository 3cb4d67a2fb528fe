#!/usr/bin/env bash
# Installs every system package the build, the tests and the tools need on Debian 12.
# Idempotent: packages already present are left alone.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  libfreetype-dev libfontconfig-dev fonts-liberation
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libraw1394-dev libiec61883-dev libavc1394-dev
  libasound2-dev libpulse-dev
  ffmpeg libimage-exiftool-perl mediainfo libxml2-utils
  xvfb xauth time
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
