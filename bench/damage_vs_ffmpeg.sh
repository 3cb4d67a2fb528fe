#!/usr/bin/env bash
# Times the scan with damage records (`zorv damage`, which reads every DIF block header and audio
# sample of every frame) against the metadata scan (`zorv scenes`) and against ffmpeg's demux of the
# same DV file, in the same run, on generated PAL and NTSC files with some damaged frames. Each is run
# in rounds, best of five. With BASELINE=path/to/older/zorv the older build's `zorv scenes` is timed too
# (the scan as it was before it kept damage records).
# Usage: bench/damage_vs_ffmpeg.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
baseline="${BASELINE:-}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

best() {  # best wall time in seconds of five runs of the command
    local b=""
    for _ in 1 2 3 4 5; do
        local s e
        s=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        e=$(date +%s.%N)
        b=$(awk -v b="$b" -v t="$(awk -v s="$s" -v e="$e" 'BEGIN { print e - s }')" \
            'BEGIN { if (b == "" || t < b) print t; else print b }')
    done
    printf "%.3f" "$b"
}

printf "%-5s %6s | %8s %8s %8s %8s | %13s %13s\n" system frames damage scenes old_scan ffmpeg damage/scenes damage/ffmpeg
for system in pal ntsc; do
    if [ "$system" = pal ]; then frames=3000; else frames=3600; fi
    f="$tmp/$system.avi"
    "$gen" clip "$f" --system "$system" --frames "$frames" --audio tone \
        --damage 100:a:0.6,101:f:0.05,2000:c:1 --audio-errors 500:1:100 >/dev/null
    cat "$f" >/dev/null  # warm the page cache for every reader alike
    td=$(best "$zorv" damage "$f")
    ts=$(best "$zorv" scenes "$f" --triggers all)
    tb="-"
    [ -n "$baseline" ] && tb=$(best "$baseline" scenes "$f" --triggers all)
    tf=$(best ffmpeg -v error -i "$f" -map 0:v -c copy -f null -)
    printf "%-5s %6d | %8s %8s %8s %8s | %13s %13s\n" "$system" "$frames" "$td" "$ts" "$tb" "$tf" \
        "$(awk -v a="$td" -v b="$ts" 'BEGIN { printf "%.2f", a / b }')" \
        "$(awk -v a="$td" -v b="$tf" 'BEGIN { printf "%.2f", a / b }')"
    rm -f "$f"
done
echo "damage = zorv damage (scan with damage records and the report); scenes = zorv scenes (the same scan);"
echo "old_scan = BASELINE's zorv scenes; ffmpeg = ffmpeg -c copy demux to null. bench_dv_damage times the"
echo "per-frame work with and without the damage record in one process."
