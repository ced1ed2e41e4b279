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

# The Python package's tests against a build; pytest's 5 (no tests ran)
# fails too. Debian's interpreter, whatever python3 comes first on PATH: it
# has pytest, gevent and Locust (scripts/setup.sh).
PYTHON=/usr/bin/python3
run_pytest() {
  dir="$1"; preload="$2"; shift 2
  echo "== test python ($dir)"
  rc=0
  env LD_PRELOAD="$preload" VORANT_BUILD_DIR="$PWD/$dir" PYTHONDONTWRITEBYTECODE=1 \
    "$PYTHON" -m pytest -q -p no:cacheprovider "$@" python/tests || rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "== python tests failed in $dir (pytest exit $rc; 5 means no tests ran)" >&2
    exit 1
  fi
}
run_pytest build ""

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
run_build build-asan -DVORANT_SANITIZE=ON -DVORANT_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" -DCMAKE_C_FLAGS="-O1 -g1"
# The interpreter leaks at exit and the sanitised library needs ASan loaded
# first; RSS says nothing under ASan and installing is the normal build's test.
# libstdc++ is loaded with it, so that ASan finds the C++ runtime it wraps
# (greenlet, under gevent and Locust, throws C++ exceptions).
(export ASAN_OPTIONS="halt_on_error=1:detect_leaks=0:abort_on_error=1"
 run_pytest build-asan "$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libstdc++.so.6)" \
   -k "not install and not leak")

# Concurrent calls once more under ThreadSanitizer (only what runs threads).
echo "== build build-tsan (concurrent calls)"
cmake -S . -B build-tsan -DVORANT_TSAN=ON -DVORANT_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" -DCMAKE_C_FLAGS="-O1 -g1" >/dev/null
cmake --build build-tsan -j "$JOBS" --target test_e2e test_server
echo "== test build-tsan"
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1" ctest --output-on-failure -R 'ServiceE2e|Server|MultiE2e|AsioE2e')

echo "== all tests passed"
