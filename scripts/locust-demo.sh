#!/bin/sh
# A distributed Locust run on loopback: builds what is missing, starts
# vorant-server with the example rules, a Locust master and two worker
# processes running examples/locust/locustfile.py for 10 s, and writes the
# CSV and HTML reports; everything it started is stopped at the end.
#
# usage: scripts/locust-demo.sh [OUT_DIR]   (default: locust-demo/)
# USERS (default 40) and DURATION (default 10s) change the run.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh

BUILD="${BUILD_DIR:-build}"
OUT="${1:-locust-demo}"
USERS="${USERS:-40}"
DURATION="${DURATION:-10s}"
PYTHON=/usr/bin/python3   # Debian's interpreter: it has gevent and Locust

if [ ! -x "$BUILD/bin/vorant-server" ] || [ ! -e "$BUILD/lib/libvorant.so.1" ]; then
  echo "== build ($BUILD/)"
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O2 -g1" -DCMAKE_C_FLAGS="-O2 -g1" >/dev/null
  cmake --build "$BUILD" -j "${JOBS:-$(nproc)}" --target vorant vorant-server
fi

mkdir -p "$OUT"
work="$(mktemp -d)"
pids=""
stop_all() {
  for pid in $pids; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $pids; do
    wait "$pid" 2>/dev/null || true
  done
  pids=""
  rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

. scripts/example-server.sh
start_example_server "$work" locust-demo
pids="$server_pid"

# The package and library of this tree; a free port for the master.
export PYTHONPATH="$PWD/python${PYTHONPATH:+:$PYTHONPATH}"
export VORANT_LIBRARY="$PWD/$BUILD/lib/libvorant.so.1"
export VORANT_CONFIG="$work/vorant.conf"
master_port="$("$PYTHON" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
locust="$PYTHON -m locust -f examples/locust/locustfile.py"

echo "== locust: a master and two workers, $USERS users for $DURATION"
for i in 1 2; do
  $locust --worker --master-host 127.0.0.1 --master-port "$master_port" >"$OUT/worker$i.log" 2>&1 &
  pids="$pids $!"
done
status=0
$locust --headless --master --master-bind-host 127.0.0.1 --master-bind-port "$master_port" --expect-workers 2 \
  -u "$USERS" -r "$USERS" -t "$DURATION" --csv "$OUT/run" --html "$OUT/run.html" --only-summary || status=$?

# Locust exits 1 when any request failed: the REJECTs of service 300 do.
if [ "$status" -gt 1 ]; then
  echo "locust-demo: the master failed (status $status)" >&2
  exit 1
fi
echo "== reports: $OUT/run_stats.csv, $OUT/run_failures.csv, $OUT/run.html"
