#!/usr/bin/env bash
# Builds everything and runs the whole test suite twice: an optimised build, then
# the same suite under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default --no-tests=error -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan --no-tests=error -j "$jobs"
