#!/usr/bin/env bash
# Times `zorv split` against `cat FILE > OUT` on the same generated 60-second DV AVI files, in the same
# run, and reports throughput and peak memory of both. Every frame goes through the split decision, the
# frame buffer and the AVI writer. 240-second files show that memory stays flat as files grow.
# Usage: bench/split_vs_cat.sh [BUILD_DIR]   (default build/release)
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

printf "%-6s %5s %5s %8s | %8s %8s %8s | %8s %8s %8s | %6s\n" system type secs size_MB split_s MB/s split_MiB cat_s MB/s cat_MiB ratio
for system in pal ntsc; do
    for type in avi1 avi2; do
        for secs in 60 240; do
            if [ "$system" = pal ]; then fps=25; else fps=30; fi
            f="$tmp/in.avi"
            "$gen" clip "$f" --system "$system" --frames $((secs * fps)) --container "$type" --index odml >/dev/null
            cat "$f" >/dev/null  # warm the page cache for both readers alike
            mkdir -p "$tmp/out"
            read -r ct cm < <(measure sh -c "cat '$f' > '$tmp/cat.avi'")
            rm -f "$tmp/cat.avi"
            read -r zt zm < <(measure "$zorv" split "$f" --out "$tmp/out")
            rm -rf "$tmp/out"
            size=$(($(stat -c %s "$f") / 1000000))
            rate() { awk -v s="$size" -v t="$1" 'BEGIN { if (t > 0) printf "%.0f", s / t; else print "-" }'; }
            ratio=$(awk -v a="$zt" -v b="$ct" 'BEGIN { if (a > 0) printf "%.2f", b / a; else print "-" }')
            printf "%-6s %5s %5d %8d | %8s %8s %8d | %8s %8s %8d | %6s\n" "$system" "$type" "$secs" "$size" \
                "$zt" "$(rate "$zt")" $((zm / 1024)) "$ct" "$(rate "$ct")" $((cm / 1024)) "$ratio"
            rm -f "$f"
        done
    done
done
echo "ratio = split throughput / cat throughput (target: at least 0.8); split memory should stay flat as files grow"
