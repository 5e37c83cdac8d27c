#!/usr/bin/env bash
# Builds the library and the tools, then runs the demo: records of every kind travel over HTTPS
# to a collector on 127.0.0.1. Exit status 0 only when every record arrived.
# Arguments go to the demo: [--timeout SECONDS] [--keep] [FOLDER].
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target ut_demo ut-collector ut-dump
exec ./build/tools/ut_demo "$@"
