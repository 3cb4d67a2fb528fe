#!/usr/bin/env bash
# Times `zorv batch` converting the same 8 generated 30-second PAL DV AVI Type 1 files to AVI Type 2
# with --jobs 1 and with --jobs 2, in the same run, and reports the speed-up. The conversion copies
# DV frames and rebuilds the PCM audio stream from the frames' audio blocks, so it is bound by the
# disk and the audio de-shuffling rather than by a codec; the page cache is warmed before each run.
# Usage: bench/batch_jobs.sh [BUILD_DIR] [OPERATION]   (default build/release, avi2)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
op="${2:-avi2}"
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

mkdir -p "$tmp/in"
for i in 1 2 3 4 5 6 7 8; do
    "$gen" clip "$tmp/in/clip$i.avi" --frames 750 --audio tone --tc "0$i:00:00:00" >/dev/null
done
total_mb=$(du -sm "$tmp/in" | cut -f1)

run() {  # jobs -> seconds
    local jobs="$1" out="$tmp/out$1"
    rm -rf "$out" && mkdir -p "$out"
    cat "$tmp"/in/*.avi >/dev/null
    local t0 t1
    t0=$(date +%s.%N)
    "$zorv" batch --op "$op" --out "$out" --jobs "$jobs" "$tmp"/in/*.avi >/dev/null
    t1=$(date +%s.%N)
    grep -c "Complete" "$out/Batch-log.txt" >/dev/null
    echo "$t1 - $t0" | bc -l
}

printf "batch %s of 8 x 30 s PAL DV (%d MB), %d cores\n" "$op" "$total_mb" "$(nproc)"
best1=999999 best2=999999
for round in 1 2 3; do
    s1=$(run 1)
    s2=$(run 2)
    best1=$(echo "if ($s1 < $best1) $s1 else $best1" | bc -l)
    best2=$(echo "if ($s2 < $best2) $s2 else $best2" | bc -l)
done
printf "%-8s %8s %8s\n" jobs seconds MB/s
printf "%-8s %8.2f %8.1f\n" 1 "$best1" "$(echo "$total_mb / $best1" | bc -l)"
printf "%-8s %8.2f %8.1f\n" 2 "$best2" "$(echo "$total_mb / $best2" | bc -l)"
printf "speed-up with --jobs 2: %.2fx (best of 3 rounds each)\n" "$(echo "$best1 / $best2" | bc -l)"
