#!/bin/sh
# The quick start: installs what is missing, builds, starts the bundled
# vorant-server on 127.0.0.1 with the example dictionary, key file and rules,
# makes real calls with vorant-call and stops the server again.
set -eu
cd "$(dirname "$0")/.."

./scripts/setup.sh

JOBS="${JOBS:-$(nproc)}"
BUILD="${BUILD_DIR:-build}"
echo "== build ($BUILD/)"
cmake -S . -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target vorant-server vorant-call

work="$(mktemp -d)"
server_pid=""
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  fi
  rm -rf "$work"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

. scripts/example-server.sh
start_example_server "$work" demo

call() {
  echo
  echo "\$ vorant-call -c vorant.conf $*"
  "$BUILD/bin/vorant-call" -c "$work/vorant.conf" "$@"
}

call -s 100 examples/order.xml
call -s 200 --msg 20 --set orderId=ORD-0042 --xml
if call -s 300 --msg 1001 --set acct=A-17 --set qty=5; then
  echo "demo: service 300 should have been rejected" >&2
  exit 1
fi
call -s 100 examples/order.xml --repeat 2000 --threads 4

echo
echo "== demo done: server stopped"
