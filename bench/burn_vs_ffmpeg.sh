#!/usr/bin/env bash
# Times burn-in with `zorv burn` against ffmpeg doing the same work in the same run, with drawtext in
# the same face (the file fontconfig gives for bold "Courier New") and cell height:
#   pal-60    every frame of a generated 60-second PAL DV AVI, re-encoded as dvvideo, audio copied
#             (target >= 1.5 x ffmpeg's speed);
#   avchd-60  a generated 60-second 1080/25p AVCHD file into an AVI with the ffv1 compressor and the
#             sound as 16-bit PCM (target >= 1.2 x); zorv draws its default items (nine texts with
#             this file's metadata), ffmpeg the four texts below;
#   avchd-4   the same with zorv drawing only the four items ffmpeg draws (timecode, recording time
#             and date, file progress), against the same ffmpeg run. ffmpeg's texts have as many
#             characters as zorv's (file progress is 13, e.g. "00:07:24.444B": ffmpeg draws the
#             running time and a B), so that both sides draw, and then compress, the same amount of
#             text; with ffv1 the text is most of what there is to code in these pictures.
# Reports wall seconds, CPU use (above 100 % means both cores worked), CPU seconds and the speed
# ratio (ffmpeg's wall time over zorv's), the load average before and after, and for ffv1 the
# settings each side's stream was written with (as ffmpeg's decoder reads them from the stream:
# version, coder 0 = Golomb-Rice, slices, ec 1 = slice CRCs, intra 1 = every picture a key picture).
# On a shared machine the same run can take 20 % more or less from one minute to the next, so the
# commands are run in rounds (ZORV_BENCH_ROUNDS, default 3), each round running zorv and ffmpeg
# back to back: a row per round, then the median of each column and of the rounds' speed ratios.
# Usage: bench/burn_vs_ffmpeg.sh [BUILD_DIR] [pal|avchd|all]   (default build/release, all)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
which="${2:-all}"
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
rounds="${ZORV_BENCH_ROUNDS:-3}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

measure() {  # prints "seconds cpu_percent cpu_seconds" of the command
    local out="$tmp/time.txt"
    /usr/bin/time -f "%e %P %U %S" -o "$out" "$@" >/dev/null 2>&1
    tr -d '%' <"$out" | awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }'
}

ffv1Settings() {  # the ffv1 configuration of an output file
    ffmpeg -v debug -debug pict -i "$1" -frames:v 1 -f null - 2>&1 | grep -m1 -o 'global: .*' |
        sed -E 's/global: //; s/, colorspace.*slices:/ slices:/; s/ qtabs:[0-9]+//; s/ CRC:.*//'
}

font="$(fc-match -f '%{file}' 'Courier New:bold')"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-10s %8s %6s %7s | %8s %6s %7s | %6s\n" file zorv_s cpu% cpu_s ffmpeg_s cpu% cpu_s speed
report() {  # name, then the two measurements; the row is kept for the medians
    local speed
    speed=$(awk -v a="$2" -v b="$5" 'BEGIN { if (a > 0) printf "%.2f", b / a; else print "-" }')
    printf "%-10s %8s %6s %7s | %8s %6s %7s | %6sx\n" "$1" "$2" "$3" "$4" "$5" "$6" "$7" "$speed"
    echo "$1 $2 $3 $4 $5 $6 $7 $speed" >>"$tmp/rows"
}
medians() {  # one row of medians per name, over the rounds
    local name
    for name in "$@"; do
        awk -v n="$name" '$1 == n' "$tmp/rows" | awk -v n="$name" '
            { for (c = 2; c <= 8; ++c) v[c, NR] = $c; rows = NR }
            END {
                printf "%-10s", "median"
                for (c = 2; c <= 8; ++c) {
                    for (i = 1; i <= rows; ++i) a[i] = v[c, i] + 0
                    for (i = 1; i <= rows; ++i) for (j = i + 1; j <= rows; ++j) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
                    m = rows % 2 ? a[(rows + 1) / 2] : (a[rows / 2] + a[rows / 2 + 1]) / 2
                    fmt = c == 3 || c == 6 ? " %6.0f" : c == 4 || c == 7 ? " %7.2f" : c == 8 ? " | %5.2fx" : " %8.2f"
                    if (c == 5) printf " |"
                    printf fmt, m
                }
                printf "  (%s, %d rounds)\n", n, rows
            }'
    done
}

if [[ "$which" == all || "$which" == pal ]]; then
    f="$tmp/pal-60.avi"
    "$gen" clip "$f" --frames 1500 --container avi2 >/dev/null
    cat "$f" >/dev/null
    # Three rows of text at the foot of the 90 % title-safe area, 30-pixel cells, as the fixed layout.
    y1=$((95 * 576 / 100 - 3 * 30))
    draw="drawtext=fontfile=$font:fontsize=25:fontcolor=0xD3D3D3:borderw=2:bordercolor=0x171717"
    vf="$draw:x=36:y=$y1:text='%{pts\\:hms}',$draw:x=250:y=$y1:text='10\\:30\\:00',$draw:x=250:y=$((y1 + 30)):text='15/06/11',$draw:x=36:y=$((y1 + 60)):text='%{n}'"
    for ((r = 1; r <= rounds; ++r)); do
        read -r zt zc zs < <(measure "$zorv" burn "$f" -o "$tmp/zorv-burn.avi" --overwrite)
        read -r ft fc fs < <(measure ffmpeg -v error -y -i "$f" -vf "$vf" -c:v dvvideo -c:a copy "$tmp/ffmpeg-burn.avi")
        report pal-60 "$zt" "$zc" "$zs" "$ft" "$fc" "$fs"
    done
    medians pal-60
    rm -f "$f" "$tmp/zorv-burn.avi" "$tmp/ffmpeg-burn.avi"
fi

if [[ "$which" == all || "$which" == avchd ]]; then
    f="$tmp/avchd-60.mts"
    "$gen" avchd "$f" --frames 1500 >/dev/null
    cat "$f" >/dev/null
    # The AVCHD fixed layout: characters 5.5 % of the picture height, rows at the foot of the 90 % area.
    ch=$(( (1080 * 55 + 500) / 1000 ))
    y1=$((95 * 1080 / 100 - 3 * (ch + 10)))
    draw="drawtext=fontfile=$font:fontsize=$ch:fontcolor=0xD3D3D3:borderw=2:bordercolor=0x171717"
    vf="$draw:x=96:y=$y1:text='%{pts\\:hms}',$draw:x=600:y=$y1:text='23\\:16\\:24',$draw:x=600:y=$((y1 + ch + 10)):text='31/12/08',$draw:x=96:y=$((y1 + 2 * (ch + 10))):text='%{pts\\:hms}B'"
    # Each round: zorv with its default items, ffmpeg, zorv with ffmpeg's four items; both zorv rows
    # are set against the ffmpeg run between them.
    for ((r = 1; r <= rounds; ++r)); do
        read -r zt zc zs < <(measure "$zorv" burn "$f" -o "$tmp/zorv-burn.avi" --compressor ffv1 --audio --overwrite)
        read -r ft fc fs < <(measure ffmpeg -v error -y -i "$f" -vf "$vf" -c:v ffv1 -c:a pcm_s16le "$tmp/ffmpeg-burn.avi")
        read -r z4t z4c z4s < <(measure "$zorv" burn "$f" -o "$tmp/zorv-burn4.avi" --compressor ffv1 --audio --overwrite \
            --items timecode,rectime,recdate,progress)
        report avchd-60 "$zt" "$zc" "$zs" "$ft" "$fc" "$fs"
        report avchd-4 "$z4t" "$z4c" "$z4s" "$ft" "$fc" "$fs"
    done
    medians avchd-60 avchd-4
    echo "ffv1 zorv:   $(ffv1Settings "$tmp/zorv-burn.avi")"
    echo "ffv1 ffmpeg: $(ffv1Settings "$tmp/ffmpeg-burn.avi")"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
