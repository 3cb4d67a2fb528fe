#!/usr/bin/env bash
# Times the DV burn-in of every frame of a generated 60-second PAL AVI (`zorv burn`) against ffmpeg
# doing the same work in the same run: drawtext with the same face (the file fontconfig gives for
# bold "Courier New") and cell height, re-encoding with dvvideo and copying the audio. Reports the
# seconds, the CPU use (above 100 % means both cores worked) and the speed ratio (target >= 1.5).
# The AVCHD comparison (ffv1 compressor against ffmpeg) waits for the AVCHD burn-in output path.
# Usage: bench/burn_vs_ffmpeg.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

measure() {  # prints "seconds cpu_percent" of the command
    local out="$tmp/time.txt"
    /usr/bin/time -f "%e %P" -o "$out" "$@" >/dev/null 2>&1
    tr -d '%' <"$out"
}

font="$(fc-match -f '%{file}' 'Courier New:bold')"
f="$tmp/pal-60.avi"
"$gen" clip "$f" --frames 1500 --container avi2 >/dev/null
cat "$f" >/dev/null

# Three rows of text at the foot of the 90 % title-safe area, 30-pixel cells, as the fixed layout.
y1=$((95 * 576 / 100 - 3 * 30))
draw="drawtext=fontfile=$font:fontsize=25:fontcolor=0xD3D3D3:borderw=2:bordercolor=0x171717"
vf="$draw:x=36:y=$y1:text='%{pts\\:hms}',$draw:x=250:y=$y1:text='10\\:30\\:00',$draw:x=250:y=$((y1 + 30)):text='15/06/11',$draw:x=36:y=$((y1 + 60)):text='%{n}'"

printf "%-10s %8s %6s | %8s %6s | %6s\n" file zorv_s cpu% ffmpeg_s cpu% speed
read -r zt zc < <(measure "$zorv" burn "$f" -o "$tmp/zorv-burn.avi" --overwrite)
read -r ft fc < <(measure ffmpeg -v error -y -i "$f" -vf "$vf" -c:v dvvideo -c:a copy "$tmp/ffmpeg-burn.avi")
speed=$(awk -v a="$zt" -v b="$ft" 'BEGIN { if (a > 0) printf "%.2f", b / a; else print "-" }')
printf "%-10s %8s %6s | %8s %6s | %6sx\n" "pal-60" "$zt" "$zc" "$ft" "$fc" "$speed"
