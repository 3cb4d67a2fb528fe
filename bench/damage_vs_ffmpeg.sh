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
# Measured 2026-12-09 on the 2-core build VM (Xeon 2.8 GHz, 24 GB). ms, median (min-max):
#   idle machine, 15 rounds, the scan as it was (every thread reading through a mapping of the file):
#   file   base              scan              damage            ffmpeg
#   PAL    wall  55 (46-81)    77 (62-118)       75 (58-154)     220 (190-311)
#          cpu   54 (45-78)   122 (99-143)      118 (97-175)     217 (189-310)
#   NTSC   wall  64 (53-89)   102 (79-230)      108 (70-312)     245 (203-349)
#          cpu   63 (52-77)   139 (114-257)     148 (114-288)    242 (200-276)
#   scan/base wall 1.40 (PAL) and 1.59 (NTSC), CPU 2.26 and 2.21.
#   the scan as it is, 11 rounds while the test suite and other builds kept both cores busy (load 13):
#   PAL    wall 437 (229-736)  620 (470-892)     570 (403-768)   1901 (1633-2392)
#          cpu   61 (51-65)   104 (98-110)      103 (95-107)     255 (235-286)
#   NTSC   wall 444 (221-616)  600 (369-888)     597 (450-861)   1896 (1472-2718)
#          cpu   61 (48-65)   100 (86-121)      102 (87-116)     242 (198-261)
#   scan/base wall 1.42 and 1.35, CPU 1.70 and 1.64; damage/ffmpeg CPU 0.40 and 0.42. Wall times there
#   are mostly waiting for a core; the earlier scan, timed beside this one in the same conditions, took
#   8-9% more CPU (105 vs 97 ms PAL, 115 vs 105 ms NTSC, base 57 and 65).
#   the scan as it is, idle machine, 15 rounds (commit 3237c13):
#   PAL    wall  51 (40-55)    52 (43-71)        50 (44-62)      191 (168-282)
#          cpu   52 (40-55)    91 (80-112)       89 (81-110)     191 (168-228)
#   NTSC   wall  54 (45-62)    52 (47-62)        50 (46-54)      227 (175-270)
#          cpu   54 (45-60)    92 (84-117)       91 (84-97)      226 (174-250)
#   scan/base wall 1.02 (PAL) and 0.96 (NTSC), CPU 1.75 and 1.70; damage/ffmpeg wall 0.26 and 0.22.
#   With a core to spare the damage scan takes the time the scan took before it read every block.
# Where the time goes (perf): reading byte 3 of every DIF block pulls nearly every cache line of the
# file from memory (blocks are 80 bytes, lines 64), where base read only the pack blocks' lines; that
# read is now the kernel's copy of each frame into the thread's buffer, about half the scan's CPU.
# Through a mapping of the file the same read also cost a quarter of the scan's time in page-table
# work (faults, mapping and unmapping windows, and with two threads the other core's TLB flushed at
# every unmapping), which is gone. The frames are read on two threads, stretch by stretch, each taking
# the next stretch nobody has taken, so the reading splits evenly whatever the serial part costs (about
# 6% of the CPU: start-up, the index, decoding and comparing the packs).
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
