#!/bin/sh
# vorant-server under load, on loopback, in about a minute:
#   1. a call's median time alone and beside 1000 idle connections
#   2. the call rate alone and beside 200 clients dribbling a byte a second
#   3. vorant-call --repeat 20000 --threads 8 against the echo rule, as a
#      ratio of the same client against vorant-echo-peer (returns the
#      request's bytes, nothing else); five runs each, interleaved
#   4. 100 000 connections of every kind: the server's descriptors and
#      memory before and after
# Usage: bench/server_load.sh [BUILD_DIR]   (default build; needs the tools
# vorant-server, vorant-call, vorant-echo-peer and vorant-server-load)
set -eu
cd "$(dirname "$0")/.."
BIN="${1:-build}/bin"
TMP=$(mktemp -d /tmp/vorant-load-XXXXXX)
PIDS=""
cleanup() {
  for p in $PIDS; do kill "$p" 2>/dev/null || true; done
  rm -rf "$TMP"
}
trap cleanup EXIT INT TERM

# Starts a program that prints its port first; sets PORT and PID.
start() {
  out="$TMP/$1.out"
  shift
  "$@" > "$out" 2> "$out.err" &
  PID=$!
  PIDS="$PIDS $PID"
  i=0
  until [ -s "$out" ] || [ $i -ge 100 ]; do sleep 0.1; i=$((i + 1)); done
  PORT=$(head -n 1 "$out")
}

config() {
  sed "s/^server .*/server = 127.0.0.1 $1/" examples/vorant.conf > "$TMP/c$1.conf"
  echo "$TMP/c$1.conf"
}

rate() {
  "$BIN/vorant-call" -c "$1" -s 100 examples/order.xml --repeat 20000 --threads 8 |
    awk '/^throughput/ { print $3 }'
}

start server "$BIN/vorant-server" -q --stats -d examples/msg_dic.exml -r examples/server.rules
SERVER_PORT=$PORT SERVER_PID=$PID
start peer "$BIN/vorant-echo-peer" --threads 8
PEER_PORT=$PORT PEER_PID=$PID

echo "== 1. idle connections"
"$BIN/vorant-server-load" --port "$SERVER_PORT" --pid "$SERVER_PID" idle 1000
echo "== 2. dribbling clients"
"$BIN/vorant-server-load" --port "$SERVER_PORT" --pid "$SERVER_PID" dribble 200

echo "== 3. throughput against the raw echo peer"
for run in 1 2 3 4 5; do
  p=$(rate "$(config "$PEER_PORT")")
  s=$(rate "$(config "$SERVER_PORT")")
  echo "run $run: echo peer $p calls/s, vorant-server $s calls/s"
  echo "$p $s" >> "$TMP/rates"
done
# Best against best, and the median of the per-run ratios.
median=$(awk '{ printf "%.3f\n", $2 / $1 }' "$TMP/rates" | sort -n | sed -n 3p)
awk -v m="$median" '{ if ($1 > bp) bp = $1; if ($2 > bs) bs = $2 }
     END { printf "throughput: best %.0f calls/s against the peer, %.0f against vorant-server (ratio %.2f; median of the runs %.2f)\n", bp, bs, bs / bp, m }' "$TMP/rates"
kill "$PEER_PID"

echo "== 4. 100 000 connections of every kind"
"$BIN/vorant-server-load" --port "$SERVER_PORT" --pid "$SERVER_PID" churn 100000

kill -TERM "$SERVER_PID"
wait "$SERVER_PID" || true
sed -n 's/^vorant-server: stats /server: /p' "$TMP/server.out.err"
