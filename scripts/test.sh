#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs the whole test suite: first the optimised build
# (all tests but those labelled slow) and its Debian package, then the sanitizer build (every test but
# the GUI, packaging and slow ones), then every fuzz target for a bounded time under ASan (ZORV_FUZZ_SECONDS in all, default 300; 0 skips
# the stage). The slow ones (files past 4 GiB, a four-hour tape) run by hand:
#   ctest --test-dir build/release -L slow
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"
# The Debian package: built, its contents listed and checked.
bash scripts/package.sh build/release
# docs/hardening.md from the rows the hardening tests just left: no second run of the damaged corpus.
hardening_start=$(date +%s)
bash scripts/hardening_report.sh build/release --rows build/release/tests/hardening-rows
echo "hardening report: took $(( $(date +%s) - hardening_start ))s"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j"$jobs"
# Four minutes of fuzzing in all (build included, about five) keeps the whole run inside 30 minutes on
# two cores; ZORV_FUZZ_SECONDS=0 skips the stage, a larger value fuzzes longer.
fuzz_seconds="${ZORV_FUZZ_SECONDS:-220}"
if [ "$fuzz_seconds" -gt 0 ]; then
  fuzz_start=$(date +%s)
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$jobs" --target fuzz_all
  echo "fuzz: build took $(( $(date +%s) - fuzz_start ))s"
  bash fuzz/run_fuzzers.sh build/fuzz "$fuzz_seconds" "$jobs"
  echo "fuzz: stage took $(( $(date +%s) - fuzz_start ))s"
fi
