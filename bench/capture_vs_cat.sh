#!/usr/bin/env bash
# Times `zorv capture --fast` from a simulated deck against `cat TAPE > OUT` on the same generated Raw DV
# tapes (60 and 240 seconds, 625/50 and 525/60), in the same run, with peak memory of both. Every frame
# goes through the device thread, the 150-slot frame buffer, the split decision and the AVI writer; the
# capture memory should stay flat as tapes grow (the buffer is allocated once, about 21 MiB).
# Usage: [BENCH_SECONDS="60 240"] bench/capture_vs_cat.sh [BUILD_DIR]   (default build/release)
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

printf "%-6s %5s %5s %8s | %9s %8s %8s | %8s %8s %8s | %6s\n" system type secs size_MB capture_s MB/s cap_MiB cat_s MB/s cat_MiB ratio
for system in pal ntsc; do
    for type in avi1 avi2; do
        for secs in ${BENCH_SECONDS:-60 240}; do
            if [ "$system" = pal ]; then fps=25; else fps=30; fi
            f="$tmp/tape.dv"
            "$gen" clip "$f" --system "$system" --frames $((secs * fps)) --container rawdv >/dev/null
            cat "$f" >/dev/null  # warm the page cache for both readers alike
            read -r ct cm < <(measure sh -c "cat '$f' > '$tmp/cat.dv'")
            rm -f "$tmp/cat.dv"
            # The idle stop ends the capture one second after the tape ends: that second is taken off.
            read -r zt zm < <(measure "$zorv" capture --device "sim:$f" --out "$tmp/Cap" --fast --type "$type" \
                --stop-after-idle 1)
            zt=$(awk -v t="$zt" 'BEGIN { printf "%.2f", (t > 1 ? t - 1 : t) }')
            rm -f "$tmp"/Cap*
            size=$(($(stat -c %s "$f") / 1000000))
            rate() { awk -v s="$size" -v t="$1" 'BEGIN { if (t > 0) printf "%.0f", s / t; else print "-" }'; }
            ratio=$(awk -v a="$zt" -v b="$ct" 'BEGIN { if (a > 0) printf "%.2f", b / a; else print "-" }')
            printf "%-6s %5s %5d %8d | %9s %8s %8d | %8s %8s %8d | %6s\n" "$system" "$type" "$secs" "$size" \
                "$zt" "$(rate "$zt")" $((zm / 1024)) "$ct" "$(rate "$ct")" $((cm / 1024)) "$ratio"
            rm -f "$f"
        done
    done
done
echo "ratio = capture throughput / cat throughput; real decks deliver 3.6 MB/s, so any ratio giving more"
echo "than that leaves room for disk stalls; capture memory should stay flat as tapes grow"
