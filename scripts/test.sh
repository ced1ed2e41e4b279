#!/bin/sh
# Sets everything up, then builds and runs every test twice: in the normal
# build and under AddressSanitizer + UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh

JOBS="${JOBS:-$(nproc)}"

run_build() {
  dir="$1"; shift
  echo "== build $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j "$JOBS")
}

run_build build
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
run_build build-asan -DVORANT_SANITIZE=ON -DVORANT_BUILD_BENCH=OFF
echo "== all tests passed in both builds"
