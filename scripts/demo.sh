#!/usr/bin/env bash
# Builds the library and runs the demo program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target ut_demo
./build/tools/ut_demo "$(mktemp -d)"
