#!/usr/bin/env bash
# Builds the Debian package of a build folder and lists what it installs and depends on.
#   scripts/package.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
build=${1:-build/release}
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/zorv-pro_*.deb | head -n 1)
echo "$deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
dpkg-deb --contents "$deb" | awk '{print $6}'
for f in ./usr/bin/zorv ./usr/share/applications/zorv-pro.desktop ./usr/share/man/man1/zorv.1 \
         ./usr/share/mime/packages/zorv-pro.xml ./usr/share/bash-completion/completions/zorv; do
    dpkg-deb --contents "$deb" | awk '{print $6}' | grep -qxF "$f" || { echo "missing in package: $f" >&2; exit 1; }
done
