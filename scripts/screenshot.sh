#!/bin/sh
# Runs zorv-pro under a virtual X server on a generated DV clip (or on FILE) and saves a picture of the
# main window: the video, the metadata panel and the controls.
#   scripts/screenshot.sh BUILD_DIR [OUT.png] [FILE]
# BUILD_DIR holds src/app/zorv-pro and tests/gen/tool/zorv-gen (a build configured with the app).
set -eu
build=${1:?usage: screenshot.sh BUILD_DIR [OUT.png] [FILE]}
out=${2:-zorv-pro-screenshot.png}
file=${3:-}
app="$build/src/app/zorv-pro"
gen=$(find "$build" -name zorv-gen -type f -perm -u+x | head -n 1)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [ -z "$file" ]; then
    file="$tmp/sample.avi"
    "$gen" sample "$file"
fi
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
# A settings store of its own, so the user's window position and recent files stay untouched.
XDG_CONFIG_HOME="$tmp/config" ZORV_NO_AUDIO=1 ZORV_SCREENSHOT="$out" ZORV_SCREENSHOT_DELAY="${ZORV_SCREENSHOT_DELAY:-4000}" \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$app" "$file"
echo "saved $out"
