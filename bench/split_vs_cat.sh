#!/usr/bin/env bash
# Times `zorv split` against `cat FILE > OUT` on the same generated 60-second DV AVI files, in the same
# run, and reports throughput and peak memory of both. Every frame goes through the split decision, the
# frame buffer and the AVI writer. 240-second files show that memory stays flat as files grow. The two
# commands take turns, RUNS times each (default 5), after a sync, on a warm page cache; the fastest run
# of each counts, so a burst of load from other processes hits both alike. On a busy machine the
# CPU-time ratio (c) is the steadier one; the load average is printed before and after.
# ZORV_BENCH_FIFO=1 (as root) runs both commands under the real-time FIFO policy, which keeps other
# processes off the cores while they run: close to a quiet machine's figures on a busy one.
# Usage: bench/split_vs_cat.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
runs="${RUNS:-5}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

prefix=()
if [ "${ZORV_BENCH_FIFO:-0}" = 1 ]; then prefix=(chrt -f 10); fi

# Runs "$@" once after `eval "$1"` (the clean-up) and a sync; prints "wall cpu maxrss_kib".
once() {
    local clean="$1" w u sy m
    shift
    eval "$clean"
    sync  # no contender pays for the write-back of the one before
    "${prefix[@]}" /usr/bin/time -f "%e %U %S %M" -o "$tmp/time.txt" "$@" >/dev/null 2>&1 </dev/null
    read -r w u sy m <"$tmp/time.txt"
    echo "$w $(awk -v u="$u" -v s="$sy" 'BEGIN { printf "%.2f", u + s }') $m"
}
less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
rate() { awk -v s="$1" -v t="$2" 'BEGIN { if (t > 0) printf "%.0f", s / t; else print "-" }'; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)${prefix[*]:+ (both under ${prefix[*]})}"
echo "best of $runs alternating runs each; w = wall s, c = cpu (user + system) s of that run, MB/s from the wall time"
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
            cw="" zw=""
            for _ in $(seq "$runs"); do
                read -r w c m < <(once "rm -f '$tmp/cat.avi'" sh -c "cat '$f' > '$tmp/cat.avi'")
                if [ -z "$cw" ] || less "$w" "$cw"; then cw=$w cc=$c cm=$m; fi
                read -r w c m < <(once "rm -rf '$tmp/out'; mkdir -p '$tmp/out'" "$zorv" split "$f" --out "$tmp/out")
                if [ -z "$zw" ] || less "$w" "$zw"; then zw=$w zc=$c zm=$m; fi
            done
            rm -rf "$tmp/cat.avi" "$tmp/out"
            size=$(($(stat -c %s "$f") / 1000000))
            r=$(ratio "$cw" "$zw")
            printf "%-6s %5s %5d %6d | %6s %5s %6s %6d | %6s %5s %6s %6d | %6s %6s\n" "$system" "$type" "$secs" \
                "$size" "$zw" "$zc" "$(rate "$size" "$zw")" $((zm / 1024)) "$cw" "$cc" "$(rate "$size" "$cw")" \
                $((cm / 1024)) "$r" "$(ratio "$cc" "$zc")"
            if [ -z "$worst" ] || less "$r" "$worst"; then worst="$r"; fi
            rm -f "$f"
        done
    done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "ratio = split throughput / cat throughput, wall and (cpu) (target: at least 0.8); split memory should stay flat as files grow"
echo "slowest split: $worst x cat"
