#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and shows what ZORV Pro reads from a DV file:
# the file given, or a generated 10-second PAL sample with a scene cut when none is given.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
bin=build/release
file="${1:-}"
if [ -z "$file" ]; then
  file="$bin/sample.avi"
  "$bin/tests/gen/zorv-gen" sample "$file"
fi
"$bin/src/cli/zorv" info "$file"
"$bin/src/cli/zorv" frame "$file" 0
"$bin/src/cli/zorv" scenes "$file" --triggers timecode,datetime
