#!/bin/sh
# Fails when a tracked C or C++ source is not formatted as .clang-format says.
# Fix with: clang-format -i FILE...
set -eu
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null 2>&1; then
  echo "check-format: clang-format not found (./scripts/setup.sh installs it)" >&2
  exit 1
fi
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "check-format: not a git checkout, skipped"
  exit 0
fi

echo "== format check ($(clang-format --version))"
if ! git ls-files -z -- '*.c' '*.cpp' '*.h' '*.hpp' \
    ':(exclude)fuzz/corpus/*' ':(exclude)fuzz/regressions/*' |
    xargs -0 -r clang-format --dry-run -Werror; then
  echo "check-format: the files above need clang-format -i" >&2
  exit 1
fi
