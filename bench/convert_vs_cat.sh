#!/usr/bin/env bash
# Times every DV conversion and audio extraction of `zorv` against the machine's copy limit
# (`cat FILE > OUT`) and against ffmpeg doing the nearest same job with stream copy, in the same run,
# on generated PAL files with camcorder audio, and reports the peak memory of each.
#
# ffmpeg's counterparts: AVI outputs `ffmpeg -i IN -c copy OUT.avi` (it writes Type 2 only, so it stands
# in for Type 1 outputs too), Raw DV outputs `-c copy -f dv` (its DV muxer joins the audio into the
# frames), WAV `-vn -c:a pcm_s16le`.
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

measure() {  # prints "seconds maxrss_kib" of the command
    local out="$tmp/time.txt"
    sync  # no contender pays for the write-back of the one before
    /usr/bin/time -f "%e %M" -o "$out" "$@" >/dev/null 2>&1 </dev/null
    cat "$out"
}

speed() {  # rate of $2 relative to $1: time(cat) / time(tool)
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "inf" }'
}

printf "%-5s %-10s %7s | %7s | %7s %7s %8s | %7s %7s | %6s %6s\n" \
    secs job size_MB cat_s zorv_s zorv_MiB zorv/cat ff_s ff_MiB ff/cat zorv/ff
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
        rm -f "$out"
        read -r ct _ < <(measure sh -c "cat '$in' > '$out'")
        rm -f "$out"
        # shellcheck disable=SC2086
        read -r zt zm < <(measure "$zorv" $args -o "$out" "$in")
        rm -f "$out"
        # shellcheck disable=SC2086
        read -r ft fm < <(measure ffmpeg -v error -y -i "$in" $ffargs "$out")
        rm -f "$out"
        size=$(($(stat -c %s "$in") / 1000000))
        zc=$(speed "$ct" "$zt")
        printf "%-5s %-10s %7d | %7s | %7s %7d %8s | %7s %7d | %6s %6s\n" "$secs" "$name" "$size" "$ct" \
            "$zt" $((zm / 1024)) "$zc" "$ft" $((fm / 1024)) "$(speed "$ct" "$ft")" "$(speed "$ft" "$zt")"
        if [ -z "$worst" ] || awk -v a="$zc" -v b="$worst" 'BEGIN { exit !(a < b) }'; then worst="$zc"; fi
    done
    rm -f "$tmp"/in-*
done
echo "x/cat = cat time / x time (1.00 = copy speed; target for zorv at least 0.80); zorv/ff = ffmpeg time / zorv time"
echo "slowest zorv job: $worst x cat; memory should stay flat as the files grow"
