#!/usr/bin/env bash
# Formats the tree with .clang-format; with --check, only reports and fails on any difference (CI).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- src include tools tests bench fuzz | grep -E '\.(c|cc|cpp|h|hpp)$')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
