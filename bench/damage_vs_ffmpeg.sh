#!/usr/bin/env bash
# Times the scan with damage records (`zorv damage`, which reads every DIF block header and audio
# sample of every frame) against the metadata scan (`zorv scenes`) and against ffmpeg's demux of the
# same DV file, in the same run, on generated PAL and NTSC files with some damaged frames. Each is run
# in turns, five rounds, best of each. With BASELINE=path/to/older/zorv the older build's `zorv scenes` is timed too
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

# Runs the commands in turns, five rounds, and keeps each one's best wall time: a busy minute on a
# shared machine falls on all of them alike.
declare -A bestOf
timeit() {  # name command...: one run, kept when it is the best so far
    local name=$1
    shift
    local s e t
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s.%N)
    t=$(awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", e - s }')
    if [ -z "${bestOf[$name]:-}" ] || awk -v t="$t" -v b="${bestOf[$name]}" 'BEGIN { exit !(t < b) }'; then
        bestOf[$name]=$t
    fi
}

printf "%-5s %6s | %8s %8s %8s %8s | %14s %13s\n" system frames damage scenes old_scan ffmpeg scenes/old_scan damage/ffmpeg
for system in pal ntsc; do
    if [ "$system" = pal ]; then frames=1500; else frames=1800; fi
    f="$tmp/$system.avi"
    "$gen" clip "$f" --system "$system" --frames "$frames" --audio tone \
        --damage 100:a:0.6,101:f:0.05,1000:c:1 --audio-errors 500:1:100 >/dev/null
    cat "$f" >/dev/null  # warm the page cache for every reader alike
    bestOf=()
    for _ in 1 2 3 4 5; do
        timeit damage "$zorv" damage "$f"
        timeit scenes "$zorv" scenes "$f" --triggers all
        [ -n "$baseline" ] && timeit old "$baseline" scenes "$f" --triggers all
        timeit ffmpeg ffmpeg -v error -i "$f" -map 0:v -c copy -f null -
    done
    td=${bestOf[damage]} ts=${bestOf[scenes]} tb=${bestOf[old]:--} tf=${bestOf[ffmpeg]}
    printf "%-5s %6d | %8s %8s %8s %8s | %14s %13s\n" "$system" "$frames" "$td" "$ts" "$tb" "$tf" \
        "$(awk -v a="$ts" -v b="$tb" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')" \
        "$(awk -v a="$td" -v b="$tf" 'BEGIN { printf "%.2f", a / b }')"
    rm -f "$f"
done
echo "damage = zorv damage (scan with damage records and the report); scenes = zorv scenes (the same scan);"
echo "old_scan = BASELINE's zorv scenes; ffmpeg = ffmpeg -c copy demux to null. bench_dv_damage times the"
echo "per-frame work with and without the damage record in one process."
