#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time, a few at a time, each seeded from
# fuzz/seeds/<target>/ and the broken-input corpus tests/corpus/ (when present). Fails on any crash,
# leak, timeout or out-of-memory, printing the target, its log and the reproducer to run. The longest
# input tried is the longest seed's length (at least 4 KiB, at most 1 MiB).
#   fuzz/run_fuzzers.sh [BUILD_DIR] [TOTAL_SECONDS] [PARALLEL]
# Defaults: build/fuzz, 300 seconds for all targets together, 2 at a time.
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/fuzz}"
total="${2:-300}"
parallel="${3:-2}"

mapfile -t targets < <(find "$build/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x -printf '%f\n' | sort)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets in $build/fuzz (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 2
fi
per=$(( total * parallel / ${#targets[@]} ))
[ "$per" -ge 3 ] || per=3
work="$build/fuzz-run"
rm -rf "$work"
mkdir -p "$work"
echo "fuzz: ${#targets[@]} targets, ${per}s each, $parallel at a time"

run_one() {
  local t="$1"
  local dir="$work/$t"
  mkdir -p "$dir/corpus" "$dir/crashes"
  local seeds=()
  [ -d "fuzz/seeds/$t" ] && seeds+=("fuzz/seeds/$t")
  # Whole broken files seed the targets that open files; the others take records and packets.
  case "$t" in
    fuzz_recognize | fuzz_avi_index | fuzz_avi_chunks | fuzz_rawdv_index | fuzz_ts_packets | fuzz_avc_reader | fuzz_ts_burn_source | \
      fuzz_dv_frame_source | fuzz_modify | fuzz_avi_repair)
      [ -d tests/corpus ] && seeds+=(tests/corpus) ;;
  esac
  # stdout of the code under test is closed (-close_fd_mask=1); sanitizer reports go to stderr.
  ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:${ASAN_OPTIONS:-}" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}" \
    "$build/fuzz/$t" -max_total_time="$per" -timeout=20 -rss_limit_mb=2048 \
      -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$dir/crashes/" \
      "$dir/corpus" "${seeds[@]}" >"$dir/log" 2>&1
  local rc=$?
  local execs
  execs=$(grep -m1 'stat::number_of_executed_units' "$dir/log" | awk '{print $2}')
  if [ "$rc" -ne 0 ]; then
    echo "fuzz: FAIL $t (exit $rc)"
    grep -E '^==[0-9]+==ERROR|SUMMARY:|runtime error|ALARM|deadly signal|out-of-memory' "$dir/log" | head -n 5
    local unit
    unit=$(grep -o 'Test unit written to .*' "$dir/log" | tail -n1 | sed 's/Test unit written to //')
    echo "fuzz:   log: $dir/log"
    [ -n "$unit" ] && echo "fuzz:   reproduce: $build/fuzz/$t $unit"
    return 1
  fi
  echo "fuzz: ok   $t (${execs:-?} runs)"
}

start=$(date +%s)
failed=0
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
echo "fuzz: finished in $(( $(date +%s) - start ))s"
if [ "$failed" -ne 0 ]; then
  echo "fuzz: a target failed; rerun its reproducer with the command above" >&2
  exit 1
fi
