#!/usr/bin/env bash
# Builds and runs the whole test suite. Optional argument: address | thread (sanitizer build).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
san="${1:-}"
dir=build${san:+-$san}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUT_SANITIZE="$san" \
      -DUT_BUILD_BENCH=$([ -z "$san" ] && echo ON || echo OFF) >/dev/null
cmake --build "$dir"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300
