#!/usr/bin/env bash
# Times the full metadata scan (`zorv scenes`) against ffmpeg's demux of the same DV file, in the same
# run, for generated PAL and NTSC files of 60 s and 240 s, and reports the peak memory of both.
# Usage: bench/scan_vs_ffmpeg.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

measure() {  # prints "seconds maxrss_kib" of the command
    local out="$tmp/time.txt"
    /usr/bin/time -f "%e %M" -o "$out" "$@" >/dev/null 2>&1
    cat "$out"
}

printf "%-6s %6s %10s | %10s %9s | %10s %9s | %6s\n" system secs size_MB zorv_s zorv_MiB ffmpeg_s ff_MiB ratio
for system in pal ntsc; do
    for secs in 60 240; do
        if [ "$system" = pal ]; then frames=$((secs * 25)); else frames=$((secs * 30)); fi
        f="$tmp/$system-$secs.avi"
        "$gen" clip "$f" --system "$system" --frames "$frames" --container avi1 --index odml >/dev/null
        cat "$f" >/dev/null  # warm the page cache for both readers alike
        read -r zt zm < <(measure "$zorv" scenes "$f" --triggers all)
        read -r ft fm < <(measure ffmpeg -v error -i "$f" -map 0:v -c copy -f null -)
        size=$(($(stat -c %s "$f") / 1000000))
        ratio=$(awk -v a="$zt" -v b="$ft" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
        printf "%-6s %6d %10d | %10s %9d | %10s %9d | %6s\n" "$system" "$secs" "$size" "$zt" $((zm / 1024)) "$ft" $((fm / 1024)) "$ratio"
        rm -f "$f"
    done
done
echo "ratio = zorv scan time / ffmpeg demux time (target: at most 0.5); memory should stay flat as files grow"
