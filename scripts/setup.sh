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
  xvfb xauth time parallel
  desktop-file-utils shared-mime-info groff-base man-db dpkg-dev
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

# The GPX 1.1 schema, for validating `zorv gpx` output with xmllint. Debian carries the Topografix
# schema inside the pytrainer package; take that one file out of the package without installing it.
gpx_xsd=/usr/local/share/xml/gpx/gpx-1.1.xsd
if [ ! -s "$gpx_xsd" ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  tmp="$(mktemp -d)"
  if (cd "$tmp" && { apt-get download pytrainer >/dev/null 2>&1 \
        || { $SUDO apt-get update -qq && apt-get download pytrainer >/dev/null 2>&1; }; }); then
    dpkg-deb --fsys-tarfile "$tmp"/pytrainer_*.deb \
      | tar -x -C "$tmp" ./usr/share/pytrainer/schemas/Topografix_gpx11.xsd
    $SUDO install -D -m 644 "$tmp/usr/share/pytrainer/schemas/Topografix_gpx11.xsd" "$gpx_xsd"
  else
    echo "setup: could not download the GPX 1.1 schema; the GPX schema test will be skipped" >&2
  fi
  rm -rf "$tmp"
fi
