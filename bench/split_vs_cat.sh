#!/usr/bin/env bash
# Times `zorv split` against `cat FILE > OUT` on the same generated 60-second DV AVI files, in the same
# run, and reports throughput and peak memory of both. Every frame goes through the split decision, the
# frame buffer and the AVI writer. 240-second files show that memory stays flat as files grow. Each
# command runs three times, after a sync, on a warm page cache; the fastest run counts. On a busy
# machine the CPU-time ratio (c) is the steadier one.
# Usage: bench/split_vs_cat.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

CLEAN=""
best() {  # prints "wall cpu maxrss_kib" of the fastest of three runs of "$@" (wall s, cpu = user + system s)
    local bw="" bc="" bm=0 w u sy m
    for _ in 1 2 3; do
        eval "$CLEAN"
        sync  # no contender pays for the write-back of the one before
        /usr/bin/time -f "%e %U %S %M" -o "$tmp/time.txt" "$@" >/dev/null 2>&1 </dev/null
        read -r w u sy m <"$tmp/time.txt"
        if [ -z "$bw" ] || awk -v a="$w" -v b="$bw" 'BEGIN { exit !(a < b) }'; then
            bw=$w
            bc=$(awk -v u="$u" -v s="$sy" 'BEGIN { printf "%.2f", u + s }')
            bm=$m
        fi
    done
    echo "$bw $bc $bm"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
rate() { awk -v s="$1" -v t="$2" 'BEGIN { if (t > 0) printf "%.0f", s / t; else print "-" }'; }

echo "best of three runs each; w = wall s, c = cpu (user + system) s, MB/s from the wall time"
printf "%-6s %5s %5s %6s | %6s %5s %6s %6s | %6s %5s %6s %6s | %6s %6s\n" system type secs MB \
    split_w c MB/s MiB cat_w c MB/s MiB ratio "(c)"
worst=""
for system in pal ntsc; do
    for type in avi1 avi2; do
        for secs in 60 240; do
            if [ "$system" = pal ]; then fps=25; else fps=30; fi
            f="$tmp/in.avi"
            "$gen" clip "$f" --system "$system" --frames $((secs * fps)) --container "$type" --index odml >/dev/null
            cat "$f" >/dev/null  # warm the page cache for both readers alike
            CLEAN="rm -f '$tmp/cat.avi'"
            read -r cw cc cm < <(best sh -c "cat '$f' > '$tmp/cat.avi'")
            rm -f "$tmp/cat.avi"
            CLEAN="rm -rf '$tmp/out'; mkdir -p '$tmp/out'"
            read -r zw zc zm < <(best "$zorv" split "$f" --out "$tmp/out")
            rm -rf "$tmp/out"
            size=$(($(stat -c %s "$f") / 1000000))
            r=$(ratio "$cw" "$zw")
            printf "%-6s %5s %5d %6d | %6s %5s %6s %6d | %6s %5s %6s %6d | %6s %6s\n" "$system" "$type" "$secs" \
                "$size" "$zw" "$zc" "$(rate "$size" "$zw")" $((zm / 1024)) "$cw" "$cc" "$(rate "$size" "$cw")" \
                $((cm / 1024)) "$r" "$(ratio "$cc" "$zc")"
            if [ -z "$worst" ] || awk -v a="$r" -v b="$worst" 'BEGIN { exit !(a < b) }'; then worst="$r"; fi
            rm -f "$f"
        done
    done
done
echo "ratio = split throughput / cat throughput, wall and (cpu) (target: at least 0.8); split memory should stay flat as files grow"
echo "slowest split: $worst x cat"
