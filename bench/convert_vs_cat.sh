#!/usr/bin/env bash
# Times every DV conversion and audio extraction of `zorv` against the machine's copy limit
# (`cat FILE > OUT`) and against ffmpeg doing the nearest same job with stream copy, in the same run,
# on generated PAL files with camcorder audio, and reports the peak memory of each.
#
# ffmpeg's counterparts: AVI outputs `ffmpeg -i IN -c copy OUT.avi` (it writes Type 2 only, so it stands
# in for Type 1 outputs too), Raw DV outputs `-c copy -f dv` (its DV muxer joins the audio into the
# frames), WAV `-vn -c:a pcm_s16le`.
#
# Each command runs three times, after a sync, on a warm page cache; the fastest run counts. On a busy
# machine the CPU-time ratio (c) is the steadier one.
#
# Usage: bench/convert_vs_cat.sh [BUILD_DIR] [SECONDS...]   (default build/release, 60 240)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
shift || true
durations=("$@")
[ ${#durations[@]} -gt 0 ] || durations=(60 240)
zorv="$bin/src/cli/zorv"
gen="$bin/tests/gen/zorv-gen"
for tool in "$zorv" "$gen"; do
    [ -x "$tool" ] || { echo "missing $tool (build the zorv and zorv-gen targets)" >&2; exit 1; }
done
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

OUT=""
best() {  # prints "wall cpu maxrss_kib" of the fastest of three runs of "$@" (wall s, cpu = user + system s)
    local bw="" bc="" bm=0 w u sy m
    for _ in 1 2 3; do
        rm -f "$OUT"
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

speed() {  # rate of $2 relative to $1: time(cat) / time(tool)
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "inf" }'
}
mbs() { awk -v s="$1" -v t="$2" 'BEGIN { if (t > 0) printf "%.0f", s / t; else print "-" }'; }

echo "best of three runs each; w = wall s, c = cpu (user + system) s, MB/s from the wall time"
printf "%-5s %-10s %5s | %5s %4s %5s | %5s %4s %5s %4s %5s %5s | %5s %4s %4s | %5s %5s\n" \
    secs job MB cat_w c MB/s zorv_w c MB/s MiB x/cat "(c)" ff_w c MiB ff/cat zo/ff
worst=""
for secs in "${durations[@]}"; do
    frames=$((secs * 25))
    for c in avi1 avi2 rawdv; do
        ext=avi
        [ "$c" = rawdv ] && ext=dv
        "$gen" clip "$tmp/in-$c.$ext" --frames "$frames" --container "$c" --audio tone >/dev/null
    done
    # job  input  zorv arguments  output  ffmpeg arguments after -i IN
    jobs=(
        "avi1>avi2|in-avi1.avi|convert --to avi2|out.avi|-c copy"
        "avi2>avi1|in-avi2.avi|convert --to avi1|out.avi|-c copy"
        "avi1>dv|in-avi1.avi|convert --to dv|out.dv|-c copy -f dv"
        "avi2>dv|in-avi2.avi|convert --to dv|out.dv|-c copy -f dv"
        "dv>avi1|in-rawdv.dv|convert --to avi1|out.avi|-c copy"
        "dv>avi2|in-rawdv.dv|convert --to avi2|out.avi|-c copy"
        "avi1>wav|in-avi1.avi|extract-audio|out.wav|-vn -c:a pcm_s16le"
        "avi2>wav|in-avi2.avi|extract-audio|out.wav|-vn -c:a pcm_s16le"
        "dv>wav|in-rawdv.dv|extract-audio|out.wav|-vn -c:a pcm_s16le"
    )
    for j in "${jobs[@]}"; do
        IFS='|' read -r name input args output ffargs <<<"$j"
        in="$tmp/$input"
        out="$tmp/$output"
        cat "$in" >/dev/null  # the page cache holds the input for every contender alike
        OUT="$out"
        read -r cw cc _ < <(best sh -c "cat '$in' > '$out'")
        # shellcheck disable=SC2086
        read -r zw zc zm < <(best "$zorv" $args -o "$out" "$in")
        # shellcheck disable=SC2086
        read -r fw fc fm < <(best ffmpeg -v error -y -i "$in" $ffargs "$out")
        rm -f "$out"
        size=$(($(stat -c %s "$in") / 1000000))
        zr=$(speed "$cw" "$zw")
        printf "%-5s %-10s %5d | %5s %4s %5s | %5s %4s %5s %4d %5s %5s | %5s %4s %4d | %5s %5s\n" "$secs" "$name" \
            "$size" "$cw" "$cc" "$(mbs "$size" "$cw")" "$zw" "$zc" "$(mbs "$size" "$zw")" $((zm / 1024)) "$zr" \
            "$(speed "$cc" "$zc")" "$fw" "$fc" $((fm / 1024)) "$(speed "$cw" "$fw")" "$(speed "$fw" "$zw")"
        zc=$zr
        if [ -z "$worst" ] || awk -v a="$zc" -v b="$worst" 'BEGIN { exit !(a < b) }'; then worst="$zc"; fi
    done
    rm -f "$tmp"/in-*
done
echo "x/cat = cat time / x time, wall and (cpu) (1.00 = copy speed; target for zorv at least 0.80); zo/ff = ffmpeg time / zorv time"
echo "slowest zorv job: $worst x cat; memory should stay flat as the files grow"
