#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test.  Usage: scripts/test.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}

scripts/ensure_packages.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORB_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
# Leak reports from the terminal library's one-time allocations are noise;
# every other sanitizer finding fails the run.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
