#!/usr/bin/env bash
# Writes docs/hardening.md: every zorv file tool on every damaged file of the generated corpus, each
# run that reported success judged by independent readers (ffmpeg/ffprobe decode and frame counts,
# frame-by-frame comparison of the DV frames a tool copies), then faults injected into runs on good
# files (a full disk, an input cut short or unlinked mid-run).
#
#   scripts/hardening_report.sh [BUILD_DIR] [--rows DIR]
#
# BUILD_DIR defaults to build/hardening (configured and built if needed). The damaged-file table comes
# from the rows the hardening tests (test_hardening, DamagedFiles) leave beside the test program in
# "hardening-rows": scripts/test.sh passes that folder with --rows after the test run, so the report
# costs no second run of the corpus; without --rows the tests are run here first.
#
# Each fault run is fenced: 1 GiB of address space (ulimit -v), 120 s of wall clock (timeout). A crash
# shows as "signal N", a hang as "timeout".
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build/hardening
ROWS=""
while (($#)); do
    case $1 in
    --rows) ROWS=$2; shift 2 ;;
    *) BUILD=$1; shift ;;
    esac
done
OUT_MD=$ROOT/docs/hardening.md

if [[ ! -f $BUILD/build.ninja && ! -f $BUILD/Makefile ]]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORV_BUILD_APP=OFF >/dev/null
fi
targets=(zorv zorv-gen)
[[ -z $ROWS ]] && targets+=(test_hardening)
cmake --build "$BUILD" --target "${targets[@]}" -j2 >/dev/null
ZORV=$BUILD/src/cli/zorv
GEN=$BUILD/tests/gen/zorv-gen

WORK=$(mktemp -d /tmp/zorv-hardening-report-XXXXXX)
MNT=""
cleanup() {
    [[ -n $MNT ]] && umount "$MNT" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

if [[ -z $ROWS ]]; then
    ROWS=$WORK/rows
    ZORV_HARDENING_ROWS=$ROWS "$BUILD/tests/test_hardening" --gtest_filter='Tool/DamagedFiles.*' >"$WORK/tests.log" 2>&1 || true
fi

CORPUS=$WORK/corpus
"$GEN" broken "$CORPUS"

# run_fenced LOG CMD...: runs CMD with the limits; prints the exit column.
run_fenced() {
    local log=$1
    shift
    local st=0
    ( ulimit -v 1048576; ulimit -c 0; exec timeout -s KILL 120 "$@" ) >"$log" 2>&1 || st=$?
    outcome "$st"
}

outcome() {
    local st=$1
    if ((st == 137)); then echo "timeout/KILL"
    elif ((st > 128)); then echo "signal $((st - 128))"
    else echo "$st"; fi
}

# The first message line of a run, fit for a table cell.
message() {
    local m
    m=$(grep -v '^\s*$' "$1" | grep -v '%' | head -n 3 | tr '\n' ' ' | tr -d '\r' | sed 's/|/\\|/g' | cut -c1-220)
    [[ -z $m ]] && m="(none)"
    echo "$m"
}

{
    echo "# Hardening: damaged files and failing disks"
    echo
    echo "Produced by \`scripts/hardening_report.sh\` on $(date -u +%Y-%m-%d) from commit $(git -C "$ROOT" rev-parse --short HEAD)."
    echo "Every run is fenced by 1 GiB of address space and 120 s; a crash would show as \"signal N\", a hang as"
    echo "\"timeout/KILL\"."
    echo
    echo "## Inputs"
    echo
    echo "| File | Family | Damage | Bytes |"
    echo "|---|---|---|---|"
    while IFS=$'\t' read -r name family damage; do
        echo "| $name | $family | $damage | $(stat -c %s "$CORPUS/$name") |"
    done < <("$GEN" broken - --list)
    echo
    echo "## Every tool on every input"
    echo
    echo "\"Input kept\" compares the input's bytes before and after (for in-place tools: \"unchanged\" or \"changed\")."
    echo "\"Success checked\" is what independent readers found after a run that reported success (\"WRONG\" says what"
    echo "was found instead): new files decode in ffmpeg without an error; the DV frames convert and split write are"
    echo "the recording's frames in order (each video DIF block compared with the undamaged file the input was made"
    echo "from, as ffmpeg reads it); modify and DV burn-in, to a new file or in place, change bytes only inside the"
    echo "frames (modify no picture block, burn-in only picture blocks) and change something; a burn-in of HDV or"
    echo "AVCHD has ffprobe's picture count of the input within 2; text outputs hold rows."
    echo
    echo "| Input | Tool | Exit | Input kept | Success checked | Message |"
    echo "|---|---|---|---|---|---|"
} >"$OUT_MD.tmp"

# The rows of the tests, input by input in corpus order, tools in table order.
"$GEN" broken - --list | cut -f1 >"$WORK/order"
cat "$ROWS"/*.tsv | awk -F'\t' 'NR == FNR { rank[$1] = FNR; next }
    { gsub(/\|/, "\\|"); print rank[$1] " " FNR " | " $1 " | " $2 " | " $3 " | " $4 " | " $5 " | " $6 " |" }' "$WORK/order" - |
    sort -t' ' -k1,1n -k2,2n | cut -d' ' -f3- >>"$OUT_MD.tmp"
runs=$(cat "$ROWS"/*.tsv | grep -c '')
crashes=$(cat "$ROWS"/*.tsv | awk -F'\t' '$3 ~ /signal|timeout/' | grep -c '' || true)
wrong=$(cat "$ROWS"/*.tsv | awk -F'\t' '$5 ~ /^WRONG/' | grep -c '' || true)

# Fault injection on good files.
GOOD=$WORK/good
mkdir -p "$GOOD"
"$GEN" clip "$GOOD/dv.avi" --container avi2 --frames 40 --audio tone
"$GEN" clip "$GOOD/dv.dv" --container rawdv --frames 40
"$GEN" clip "$GOOD/big.avi" --container avi2 --frames 1500 --audio tone
"$GEN" hdv "$GOOD/hdv.m2t" --frames 40 --unique 12
"$GEN" avchd "$GOOD/avchd.m2ts" --frames 40

{
    echo
    echo "## Faults injected"
    echo
    echo "A full disk is a file-size limit (\`ulimit -f\`, SIGXFSZ ignored: writes past it fail with EFBIG) and,"
    echo "when the script runs as root, a 1 MiB tmpfs (writes fail with ENOSPC). A cut input is truncated to"
    echo "437 kB once the tool has written its first output bytes (or 30 ms after start for reading tools); an"
    echo "unlinked input is removed the same way (the open descriptor still reads)."
    echo
    echo "| Fault | Tool | Input | Exit | Input kept | Message |"
    echo "|---|---|---|---|---|---|"
} >>"$OUT_MD.tmp"

# fault_row FAULT TOOLNAME INPUT LIMIT_KB CMD...: a run with a file-size limit of LIMIT_KB KiB.
full_disk_row() {
    local fault=$1 tool=$2 input=$3 kb=$4
    shift 4
    local d=$WORK/fault st sum kept
    rm -rf "$d"
    mkdir -p "$d/out"
    cp "$GOOD/$input" "$d/$input"
    sum=$(md5sum <"$d/$input")
    local args=()
    for a in "$@"; do args+=("${a//@IN@/$d/$input}"); done
    args=("${args[@]//@OUT@/$d/out}")
    st=0
    ( trap '' XFSZ; ulimit -f "$kb"; ulimit -v 1048576; exec timeout -s KILL 120 "$ZORV" "${args[@]}" ) >"$d/log" 2>&1 || st=$?
    st=$(outcome "$st")
    if [[ $(md5sum <"$d/$input") == "$sum" ]]; then kept=yes; else kept="changed"; fi
    [[ $st == 0 ]] && kept="$kept (reported success)"
    echo "| $fault | $tool | $input | $st | $kept | $(message "$d/log") |" >>"$OUT_MD.tmp"
}

full_disk_row "disk full after 1000 KiB" "modify -o" dv.avi 1000 modify @IN@ -o @OUT@/o.avi --timecode-start 01:00:00:00
full_disk_row "disk full after 1000 KiB" "convert --to dv" dv.avi 1000 convert --to dv @IN@ -o @OUT@/o.dv
full_disk_row "disk full after 1000 KiB" "convert --to avi1" dv.avi 1000 convert --to avi1 @IN@ -o @OUT@/o.avi
full_disk_row "disk full after 1000 KiB" "convert --to avi2" dv.dv 1000 convert --to avi2 @IN@ -o @OUT@/o.avi
full_disk_row "disk full after 1000 KiB" "split" dv.avi 1000 split @IN@ --out @OUT@
full_disk_row "disk full after 20 KiB" "extract-audio" dv.avi 20 extract-audio @IN@ -o @OUT@/o.wav
full_disk_row "disk full after 1 KiB" "export" dv.avi 1 export @IN@ --header --mode all -o @OUT@/o.csv
full_disk_row "disk full after 1 KiB" "subtitles" dv.avi 1 subtitles @IN@ -o @OUT@/o.srt
full_disk_row "disk full after 1000 KiB" "burn -o" dv.avi 1000 burn @IN@ -o @OUT@/o.avi
full_disk_row "disk full after 1000 KiB" "burn -o" hdv.m2t 1000 burn @IN@ -o @OUT@/o.avi
full_disk_row "disk full after 1000 KiB" "burn -o" avchd.m2ts 1000 burn @IN@ -o @OUT@/o.avi
full_disk_row "disk full after 20 KiB" "extract-audio" hdv.m2t 20 extract-audio @IN@ -o @OUT@/o.wav
full_disk_row "disk full after 2 KiB" "extract-audio" avchd.m2ts 2 extract-audio @IN@ -o @OUT@/o.ac3
full_disk_row "disk full after 1 KiB" "export" hdv.m2t 1 export @IN@ --header --mode all -o @OUT@/o.csv
full_disk_row "disk full after 1000 KiB (direct)" "modify --in-place" dv.avi 1000 modify @IN@ --in-place --yes --timecode-start 01:00:00:00
full_disk_row "disk full after 1000 KiB (direct)" "burn --in-place" dv.avi 1000 burn @IN@ --in-place --yes
full_disk_row "disk full at the file's end (direct)" "fix-premiere" dv.avi $(($(stat -c %s "$GOOD/dv.avi") / 1024)) fix-premiere @IN@

# A real full disk: a 1 MiB tmpfs, when mounting is allowed.
if [[ $(id -u) == 0 ]] && mkdir -p "$WORK/mnt" && mount -t tmpfs -o size=1m tmpfs "$WORK/mnt" 2>/dev/null; then
    MNT=$WORK/mnt
    for run_line in "convert --to dv|convert|--to|dv|@IN@|-o|@MNT@/o.dv" "modify -o|modify|@IN@|-o|@MNT@/o.avi|--timecode-start|01:00:00:00" \
        "split|split|@IN@|--out|@MNT@" "burn -o|burn|@IN@|-o|@MNT@/o.avi"; do
        IFS='|' read -r -a parts <<<"$run_line"
        tool=${parts[0]}
        args=("${parts[@]:1}")
        args=("${args[@]//@IN@/$GOOD/dv.avi}")
        args=("${args[@]//@MNT@/$MNT}")
        rm -rf "${MNT:?}"/*
        sum=$(md5sum <"$GOOD/dv.avi")
        st=$(run_fenced "$WORK/log" "$ZORV" "${args[@]}")
        if [[ $(md5sum <"$GOOD/dv.avi") == "$sum" ]]; then kept=yes; else kept=changed; fi
        [[ $st == 0 ]] && kept="$kept (reported success)"
        echo "| 1 MiB tmpfs full (ENOSPC) | $tool | dv.avi | $st | $kept | $(message "$WORK/log") |" >>"$OUT_MD.tmp"
    done
    umount "$MNT" && MNT=""
fi

# mid_run_row FAULT TOOLNAME ACTION WATCH CMD...: ACTION (cut|unlink) on the input once WATCH has bytes.
mid_run_row() {
    local fault=$1 tool=$2 action=$3 watch=$4
    shift 4
    local d=$WORK/midrun in
    rm -rf "$d"
    mkdir -p "$d/out"
    in=$d/big.avi
    cp "$GOOD/big.avi" "$in"
    local args=()
    for a in "$@"; do args+=("${a//@IN@/$in}"); done
    args=("${args[@]//@OUT@/$d/out}")
    watch=${watch//@OUT@/$d/out}
    ( ulimit -v 1048576; exec timeout -s KILL 120 "$ZORV" "${args[@]}" ) >"$d/log" 2>&1 &
    # Reading tools: 30 ms after the start. Writing tools: once their output has bytes (up to 20 s).
    local pid=$! t=0 limit=6 when="mid-run"
    [[ -n $watch ]] && limit=4000
    while kill -0 $pid 2>/dev/null; do
        if [[ -n $watch && -s $watch ]] || ((t >= limit)); then break; fi
        sleep 0.005
        t=$((t + 1))
    done
    [[ -n $watch && -s $watch ]] && when="output at $(stat -c %s "$watch") bytes"
    kill -0 $pid 2>/dev/null || when="after the tool had finished"
    if [[ $action == cut ]]; then truncate -s 437000 "$in"; else rm -f "$in"; fi
    local st=0
    wait $pid || st=$?
    st=$(outcome "$st")
    echo "| $fault ($when) | $tool | big.avi (1500 frames) | $st | — | $(message "$d/log") |" >>"$OUT_MD.tmp"
}

mid_run_row "input cut to 437 kB" "convert --to dv" cut @OUT@/o.dv convert --to dv @IN@ -o @OUT@/o.dv
mid_run_row "input cut to 437 kB" "modify -o" cut @OUT@/o.avi modify @IN@ -o @OUT@/o.avi --timecode-start 01:00:00:00
mid_run_row "input cut to 437 kB" "extract-audio" cut @OUT@/o.wav extract-audio @IN@ -o @OUT@/o.wav
mid_run_row "input cut to 437 kB" "burn -o" cut @OUT@/o.avi burn @IN@ -o @OUT@/o.avi
mid_run_row "input cut to 437 kB" "split" cut "" split @IN@ --out @OUT@
mid_run_row "input cut to 437 kB" "scenes" cut "" scenes @IN@
mid_run_row "input cut to 437 kB" "export" cut "" export @IN@ -o @OUT@/o.csv
mid_run_row "input unlinked" "convert --to dv" unlink @OUT@/o.dv convert --to dv @IN@ -o @OUT@/o.dv
mid_run_row "input unlinked" "export" unlink "" export @IN@ -o @OUT@/o.csv

{
    echo
    echo "## Summary"
    echo
    echo "| Runs on damaged inputs | Crashes or hangs | Successes the readers found wrong |"
    echo "|---|---|---|"
    echo "| $runs | $crashes | $wrong |"
} >>"$OUT_MD.tmp"
mv "$OUT_MD.tmp" "$OUT_MD"
echo "wrote $OUT_MD"
