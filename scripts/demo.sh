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

echo "== start vorant-server (examples/msg_dic.exml, examples/server.rules)"
"$BUILD/bin/vorant-server" --dictionary examples/msg_dic.exml --rules examples/server.rules \
  --host 127.0.0.1 --port 0 --quiet >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
# The server prints its port on its first line once it listens.
tries=0
while ! grep -q . "$work/server.out" 2>/dev/null; do
  if ! kill -0 "$server_pid" 2>/dev/null || [ "$tries" -ge 100 ]; then
    echo "demo: vorant-server did not start:" >&2
    cat "$work/server.err" >&2
    exit 1
  fi
  tries=$((tries + 1))
  sleep 0.1
done
port="$(head -n 1 "$work/server.out")"
echo "   listening on 127.0.0.1:$port"
sed "s/^server *=.*/server = 127.0.0.1 $port/" examples/vorant.conf >"$work/vorant.conf"

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
