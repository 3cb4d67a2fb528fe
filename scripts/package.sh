#!/usr/bin/env bash
# Builds the Debian package of a build folder, lists what it installs and depends on, and checks that
# every dependency resolves from this machine's Debian archive (a simulated install: nothing is installed).
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
log="$build/package-depends.log"
if ! apt-get install --simulate --no-install-recommends "$(realpath "$deb")" >"$log" 2>&1; then
    grep -A20 'unmet dependencies' "$log" >&2 || cat "$log" >&2
    echo "dependencies of $deb do not resolve" >&2
    exit 1
fi
echo "dependencies resolve ($(grep -c "^Inst " "$log") packages to install, this one included)"
