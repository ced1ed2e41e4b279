#!/bin/sh
# Sets everything up, then builds and runs every test twice: in the normal
# build and under AddressSanitizer + UndefinedBehaviorSanitizer; the
# concurrent-call tests run a third time under ThreadSanitizer.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh
./scripts/check-format.sh

JOBS="${JOBS:-$(nproc)}"

run_build() {
  dir="$1"; shift
  echo "== build $dir"
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j "$JOBS")
}

# Line tables only (-g1): backtraces stay readable and the build is quicker.
run_build build -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O2 -g1" -DCMAKE_C_FLAGS="-O2 -g1"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
run_build build-asan -DVORANT_SANITIZE=ON -DVORANT_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" -DCMAKE_C_FLAGS="-O1 -g1"

# Concurrent calls once more under ThreadSanitizer (only what runs threads).
echo "== build build-tsan (concurrent calls)"
cmake -S . -B build-tsan -DVORANT_TSAN=ON -DVORANT_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" -DCMAKE_C_FLAGS="-O1 -g1" >/dev/null
cmake --build build-tsan -j "$JOBS" --target test_e2e
echo "== test build-tsan"
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1" ctest --output-on-failure -R 'ServiceE2e')

echo "== all tests passed"
