#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for SECONDS (default 30).
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]   (corpora: fuzz/corpus/<harness>/, findings: build-fuzz/findings/)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
secs="${1:-30}"; shift || true
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DUT_BUILD_FUZZ=ON -DUT_BUILD_TESTS=OFF -DUT_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir"
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for f in fuzz/*_fuzz.cpp; do [ -e "$f" ] && harnesses+=("$(basename "$f" .cpp)"); done
fi
mkdir -p "$dir/findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for h in "${harnesses[@]}"; do
  work="$dir/corpus/$h"; mkdir -p "$work"
  seeds=(); [ -d "fuzz/corpus/$h" ] && seeds=("fuzz/corpus/$h")
  echo "== $h (${secs}s)"
  "$dir/fuzz/$h" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/$h-" "$work" "${seeds[@]}" 2>&1 | grep -E '^(stat::number_of_executed_units|#[0-9]+ +DONE|==[0-9]+==ERROR|SUMMARY)' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "FAILED: $h"; exit 1; }
done
