#!/usr/bin/env bash
# Times `zorv batch --op export` (metadata to CSV) over a list of 1 000 short DV files (1 s of PAL DV
# each, hard links to one generated file so the page cache holds them all) and reports files per
# second for --jobs 1, --jobs 2 and two slices run side by side by GNU parallel (then merged), against
# the export tool alone run once per file (and a zorv process that does nothing, for the cost of a
# process). The runner's overhead per file is the batch's time per file less the time its files took
# inside it (the results lines' "seconds").
# Usage: bench/batch_scale.sh [BUILD_DIR] [FILES]   (default build/release, 1000)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release}"
files="${2:-1000}"
zorv="$(realpath "$bin/src/cli/zorv")"
gen="$bin/tests/gen/zorv-gen"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

mkdir -p "$tmp/in"
"$gen" clip "$tmp/tape.avi" --frames 25 --audio tone >/dev/null
for i in $(seq -w 1 "$files"); do ln "$tmp/tape.avi" "$tmp/in/tape$i.avi"; done
ls "$tmp"/in/*.avi >"$tmp/list.txt"
cat "$tmp/tape.avi" >/dev/null

now() { date +%s.%N; }
fresh() { rm -rf "$tmp/$1" && mkdir -p "$tmp/$1"; }
rate() { echo "$files / $1" | bc -l; }

# The export tool alone, one zorv process per file, and a zorv process that does no work.
fresh alone
t0=$(now)
while read -r f; do "$zorv" export "$f" -o "$tmp/alone/$(basename "$f" .avi).csv" >/dev/null; done <"$tmp/list.txt"
t_alone=$(echo "$(now) - $t0" | bc -l)
t0=$(now)
for _ in $(seq 1 "$files"); do "$zorv" batch --help >/dev/null; done
t_noop=$(echo "$(now) - $t0" | bc -l)

batch() {  # jobs -> seconds
    fresh "out$1"
    local t0
    t0=$(now)
    "$zorv" batch --op export --jobs "$1" --out "$tmp/out$1" --from "$tmp/list.txt" \
        --results "$tmp/out$1.jsonl" >/dev/null 2>&1
    echo "$(now) - $t0" | bc -l
}
t_j1=$(batch 1)
t_j2=$(batch 2)

t_par=""
if command -v parallel >/dev/null; then
    fresh sliced
    t0=$(now)
    parallel --will-cite -j 2 "$zorv" batch --op export --out "$tmp/sliced" --from "$tmp/list.txt" \
        --slice {}/2 --results "$tmp/slice-{}.jsonl" '>/dev/null 2>&1' ::: 1 2
    fresh merged
    "$zorv" batch --merge-results --out "$tmp/merged" --results "$tmp/merged.jsonl" \
        --from "$tmp/list.txt" "$tmp"/slice-*.jsonl 2>/dev/null
    t_par=$(echo "$(now) - $t0" | bc -l)
fi
for r in out1 out2; do
    [ "$(grep -c '"outcome":"done"' "$tmp/$r.jsonl")" -eq "$files" ] || { echo "batch $r: not every file done" >&2; exit 1; }
done

ms() { echo "1000 * $1 / $files" | bc -l; }
printf "batch export of %d x 1 s PAL DV (CSV), %d cores\n" "$files" "$(nproc)"
printf "%-34s %9s %9s %10s\n" run seconds files/s ms/file
printf "%-34s %9.2f %9.1f %10.2f\n" "export alone, a process per file" "$t_alone" "$(rate "$t_alone")" "$(ms "$t_alone")"
printf "%-34s %9.2f %9.1f %10.2f\n" "zorv process doing nothing" "$t_noop" "$(rate "$t_noop")" "$(ms "$t_noop")"
printf "%-34s %9.2f %9.1f %10.2f\n" "batch --jobs 1" "$t_j1" "$(rate "$t_j1")" "$(ms "$t_j1")"
printf "%-34s %9.2f %9.1f %10.2f\n" "batch --jobs 2" "$t_j2" "$(rate "$t_j2")" "$(ms "$t_j2")"
[ -n "$t_par" ] && printf "%-34s %9.2f %9.1f %10.2f\n" "2 slices by GNU parallel + merge" "$t_par" "$(rate "$t_par")" "$(ms "$t_par")"
# The files' own time inside the batch (the "seconds" of the results lines): the rest of the batch's
# time is the runner's overhead (list, weights pre-pass, log, results, progress).
inside=$(grep -o '"seconds":[0-9.]*' "$tmp/out1.jsonl" | cut -d: -f2 | paste -sd+ | bc -l)
printf "against the tool alone (a process per file): batch --jobs 1 is %.1fx faster, %.2f ms less per file\n" \
    "$(echo "$t_alone / $t_j1" | bc -l)" "$(echo "$(ms "$t_alone") - $(ms "$t_j1")" | bc -l)"
printf "batch --jobs 1: %.2f ms per file in the operation, %.2f ms per file of runner overhead\n" \
    "$(ms "$inside")" "$(echo "$(ms "$t_j1") - $(ms "$inside")" | bc -l)"
