#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs the whole test suite: first the optimised build
# (all tests but those labelled slow) and its Debian package, then the sanitizer build (every test but
# the GUI, packaging and slow ones), then every fuzz target under ASan for the time left of a 23-minute
# run (at least 60 and at most 220 seconds; ZORV_FUZZ_SECONDS sets it instead, 0 skips the stage).
# Each stage says how long it took. The slow ones (files past 4 GiB, a four-hour tape) run by hand:
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
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"
stage_done "optimised build"
ctest --preset release -j"$jobs"
stage_done "optimised tests"
# The Debian package: built, its contents listed and checked.
bash scripts/package.sh build/release
stage_done "Debian package"
# docs/hardening.md from the rows the hardening tests just left: no second run of the damaged corpus.
bash scripts/hardening_report.sh build/release --rows build/release/tests/hardening-rows
stage_done "hardening report"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
stage_done "sanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j"$jobs"
stage_done "sanitizer tests"
# The fuzz targets are built, then fuzz for what is left of 23 minutes since the run began, within 60
# to 220 seconds, so that the whole run stays under 25 minutes on two cores.
if [ "${ZORV_FUZZ_SECONDS:-}" != 0 ]; then
  # Unoptimised: the targets build in about half the time, and that time goes to fuzzing instead.
  cmake --preset fuzz -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build --preset fuzz -j"$jobs" --target fuzz_all
  stage_done "fuzz build"
  left=$(( 23 * 60 - ($(date +%s) - run_start) ))
  fuzz_seconds="${ZORV_FUZZ_SECONDS:-$(( left < 60 ? 60 : left > 220 ? 220 : left ))}"
  bash fuzz/run_fuzzers.sh build/fuzz "$fuzz_seconds" "$jobs"
  stage_done "fuzzing ($fuzz_seconds s)"
fi
