#!/usr/bin/env bash
# Times the metadata scan with damage records against the scan as it was before it kept them, and
# against ffmpeg's demux of the same file, in one run. The scan with damage reads every DIF block
# header and looks at every audio block of every frame; the scan before it read only the packs.
#
#   base    `zorv scenes F --triggers all` of the last build before damage records (commit c894088,
#           built once into build/bench-baseline-c894088, or BASELINE=path/to/zorv)
#   scan    `zorv scenes F --triggers all` of this build (the same scan, with damage records)
#   damage  `zorv damage F` of this build (the scan with damage records and the damage report)
#   ffmpeg  `ffmpeg -v error -i F -map 0 -c copy -f null -` (demux of every stream, no decoding)
#
# Each file is generated (PAL 3000 frames, NTSC 3600 frames, AVI Type 1, tone audio, a few damaged
# frames), read once so the page cache holds it for every reader alike, then the four commands run in
# turns for ROUNDS rounds (default 15). Wall and CPU (user + system) times are reported as median and
# spread (min-max); the ratios are of medians. Other work on the machine falls on all four alike.
#
# Measured 2026-12-09 on the 2-core build VM (Xeon 2.8 GHz, 24 GB), 15 rounds, while other builds kept
# both cores busy (load average 7-9): wall times are then mostly waiting for a core and spread widely;
# CPU times hold steady. ms, median (min-max):
#   file   base              scan              damage            ffmpeg
#   PAL    wall 130 (83-160)  187 (112-260)     162 (95-232)      408 (355-678)
#          cpu   42 (40-58)    80 (78-86)        80 (77-84)       168 (164-263)
#   NTSC   wall 100 (81-196)  162 (80-212)      168 (91-244)      337 (283-375)
#          cpu   43 (40-47)    82 (79-99)        82 (79-105)      169 (164-184)
# scan/base: CPU 1.90 (PAL) and 1.91 (NTSC), wall 1.44 and 1.62; damage/ffmpeg: CPU 0.48 and 0.49.
# The scan as it was when damage records came in (one pass per kind of block, packs first) took
# 2.2-2.3x base's CPU in the same conditions (105 vs 46 ms PAL, 106 vs 48 ms NTSC).
# Where the time goes (perf): reading byte 3 of every DIF block pulls every cache line of the file
# from memory, about 10 GB/s on one core here, where base read only the pack blocks' lines; a loop
# doing nothing but that read already takes about 1.5x base's CPU time. The scan therefore reads the
# frames on two threads, stretch by stretch: each thread took 41-48 ms of CPU on the PAL file, so with
# a core to spare the wall time should come near base's; that could not be shown with both cores busy.
# CPU time stays near 1.9x.
#
# Usage: bench/damage_vs_ffmpeg.sh [BUILD_DIR]   (default build/release; ROUNDS=n, BASELINE=path)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
rounds="${ROUNDS:-15}"
baseRef=c8940885ee6fc6a38022103a6e2c008eed5d0619
baseline="${BASELINE:-}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

if [ -z "$baseline" ]; then
    dir="build/bench-baseline-${baseRef:0:7}"
    baseline="$dir/src/build/release/src/cli/zorv"
    if [ ! -x "$baseline" ]; then
        echo "building the scan before damage records (${baseRef:0:7}) into $dir once" >&2
        mkdir -p "$dir/src"
        git archive "$baseRef" | tar -x -C "$dir/src"
        (cd "$dir/src" && cmake --preset release -DZORV_BUILD_APP=OFF -DZORV_BUILD_TESTS=OFF \
            -DZORV_BUILD_BENCH=OFF >/dev/null && cmake --build --preset release --target zorv >/dev/null)
    fi
fi

TIMEFORMAT='%3R %3U %3S'
run() {  # name command...: appends "name wall_ms cpu_ms" of one run
    local name=$1
    shift
    { time "$@" >/dev/null 2>&1; } 2>"$tmp/t"
    awk -v n="$name" '{ printf "%s %.1f %.1f\n", n, $1 * 1000, ($2 + $3) * 1000 }' "$tmp/t" >>"$tmp/times"
}

stat_of() {  # name column: "median min max" of that column of the named runs
    awk -v n="$1" -v c="$2" '$1 == n { print $c }' "$tmp/times" | sort -n |
        awk '{ v[NR] = $1 } END { printf "%.1f %.1f %.1f", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[1], v[NR] }'
    echo
}

printf "%-5s %-7s | %-24s | %-24s\n" file command "wall ms: median (spread)" "cpu ms: median (spread)"
for system in pal ntsc; do
    if [ "$system" = pal ]; then frames=3000; else frames=3600; fi
    f="$tmp/$system.avi"
    "$gen" clip "$f" --system "$system" --frames "$frames" --audio tone \
        --damage 100:a:0.6,101:f:0.05,1000:c:1 --audio-errors 500:1:100 >/dev/null
    cat "$f" >/dev/null
    : >"$tmp/times"
    for _ in $(seq "$rounds"); do
        run base "$baseline" scenes "$f" --triggers all
        run scan "$zorv" scenes "$f" --triggers all
        run damage "$zorv" damage "$f"
        run ffmpeg ffmpeg -v error -i "$f" -map 0 -c copy -f null -
    done
    declare -A wall cpu
    for name in base scan damage ffmpeg; do
        read -r wm wl wh < <(stat_of "$name" 2)
        read -r cm cl ch < <(stat_of "$name" 3)
        wall[$name]=$wm
        cpu[$name]=$cm
        printf "%-5s %-7s | %7s (%7s-%7s) | %7s (%7s-%7s)\n" "$system" "$name" "$wm" "$wl" "$wh" "$cm" "$cl" "$ch"
    done
    ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
    echo "$system $frames frames, $(($(stat -c %s "$f") / 1000000)) MB, $rounds rounds:" \
        "scan/base wall $(ratio "${wall[scan]}" "${wall[base]}") cpu $(ratio "${cpu[scan]}" "${cpu[base]}");" \
        "damage/base wall $(ratio "${wall[damage]}" "${wall[base]}") cpu $(ratio "${cpu[damage]}" "${cpu[base]}");" \
        "damage/ffmpeg wall $(ratio "${wall[damage]}" "${wall[ffmpeg]}") cpu $(ratio "${cpu[damage]}" "${cpu[ffmpeg]}")"
    rm -f "$f"
done
