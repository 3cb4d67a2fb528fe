#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs the whole test suite: first the optimised build
# (all tests but those labelled slow) and its Debian package, then the sanitizer build (every test but
# the GUI, packaging and slow ones), then every fuzz target under ASan for the time left of a 23-minute
# run (40 to 220 seconds; ZORV_FUZZ_SECONDS sets it, 0 skips the stage). The sanitizer build runs
# beside the optimised tests, at the lowest priority; both builds precompile the headers the tests and
# the app share. Each stage says how long it took. The slow tests (files past 4 GiB, a four-hour tape)
# run by hand:
#   ctest --test-dir build/release -L slow
set -euo pipefail
cd "$(dirname "$0")/.."
run_start=$(date +%s)
stage_start=$run_start
stage_done() {
  local now
  now=$(date +%s)
  echo "== $1: took $(( now - stage_start ))s (run so far $(( now - run_start ))s)"
  stage_start=$now
}
bash scripts/setup.sh
stage_done "set-up"
jobs="$(nproc)"
# Line tables only (-g1): sanitizer reports and crash reports keep their files and line numbers, and
# each build compiles about a sixth faster, with far smaller objects to link, than with full debug info.
release_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
debug_flags=(-DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)
# Media the tests generate once and share, in both builds' tests (the sanitizer build's tests read what
# the optimised build's made); cleared so a changed generator cannot leave old files behind.
export ZORV_GEN_CACHE="$PWD/build/gen-cache"
rm -rf "$ZORV_GEN_CACHE"
cmake --preset release -DZORV_PCH=ON "${release_flags[@]}" >/dev/null
cmake --build --preset release -j"$jobs"
stage_done "optimised build"
# The next build runs beside each test stage at the lowest priority: the tests leave a core idle much
# of the time (children waiting on each other, clocks, the longest test at the end), and the build
# takes only that time. Its output goes to a log, shown when it fails.
background() {  # LOG COMMAND...: starts COMMAND at the lowest priority, its pid in $background_pid
  local log="$1"
  shift
  nice -n 19 "$@" >"$log" 2>&1 &
  background_pid=$!
}
await() {  # LOG NAME: waits for the background build, failing the run with its log if it failed
  if ! wait "$background_pid"; then
    tail -n 60 "$1"
    echo "$2 failed" >&2
    exit 1
  fi
  stage_done "$2 (the rest of it)"
}
trap 'jobs -p | xargs -r kill 2>/dev/null' EXIT
mkdir -p build
fuzz="${ZORV_FUZZ_SECONDS:-}"
cmake --preset asan -DZORV_PCH=ON "${debug_flags[@]}" >/dev/null
background build/asan-build.log cmake --build --preset asan -j"$jobs"
ctest --preset release -j"$jobs"
stage_done "optimised tests"
# The Debian package: built, its contents listed and checked.
bash scripts/package.sh build/release
stage_done "Debian package"
# docs/hardening.md from the rows the hardening tests just left: no second run of the damaged corpus.
bash scripts/hardening_report.sh build/release --rows build/release/tests/hardening-rows
stage_done "hardening report"
await build/asan-build.log "sanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j"$jobs"
stage_done "sanitizer tests"
# The fuzz targets are built after the sanitizer tests (beside them they slowed the tests more than they
# gained), then fuzz for what is left of 23 minutes since the run began, within 40 to 220 seconds.
if [ "$fuzz" != 0 ]; then
  # Unoptimised: the fuzz targets build in about half the time, and that time goes to fuzzing instead.
  cmake --preset fuzz -DCMAKE_BUILD_TYPE=Debug "${debug_flags[@]}" >/dev/null
  cmake --build --preset fuzz -j"$jobs" --target fuzz_all
  stage_done "fuzz build"
  left=$(( 23 * 60 - ($(date +%s) - run_start) ))
  fuzz_seconds="${fuzz:-$(( left < 40 ? 40 : left > 220 ? 220 : left ))}"
  bash fuzz/run_fuzzers.sh build/fuzz "$fuzz_seconds" "$jobs"
  stage_done "fuzzing ($fuzz_seconds s)"
fi
