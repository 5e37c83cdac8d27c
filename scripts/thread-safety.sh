#!/usr/bin/env bash
# Builds the library with clang's thread-safety analysis; any lock annotation it cannot prove
# fails the build.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-tsa -G Ninja -DUT_THREAD_SAFETY_ANALYSIS=ON -DUT_BUILD_TESTS=OFF \
    -DUT_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsa --target unified_track -j"${UT_JOBS:-2}"
