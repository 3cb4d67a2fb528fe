#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs the whole test suite: first the optimised build
# (all tests but those labelled slow), then the sanitizer build (every test but the GUI and slow ones),
# then the fuzzers briefly. The slow ones (files past 4 GiB) run by hand: ctest --test-dir build/release -L slow
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j"$jobs"
