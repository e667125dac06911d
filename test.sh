#!/usr/bin/env bash
# Checks the formatting, builds everything and runs the whole test suite twice:
# an optimised build, then the same suite under AddressSanitizer (leaks
# included) + UndefinedBehaviorSanitizer. Warnings are errors in both builds.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh

# Every source file as the repository's .clang-format writes it.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
else
    find . -path ./build -prune -o -path './build-*' -prune -o \( -name '*.cpp' -o -name '*.h' \) \
        -print0 | xargs -0 clang-format --dry-run -Werror
fi

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default --no-tests=error -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan --no-tests=error -j "$jobs"
