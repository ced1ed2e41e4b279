# Sourced by the demo scripts (run from the project root, with BUILD set):
# start_example_server WORK NAME starts vorant-server on 127.0.0.1 with the
# example dictionary and rules, its output in WORK, waits until it listens,
# sets server_pid and port and writes WORK/vorant.conf pointing at it. NAME
# prefixes the error when it does not start (the script then exits).
start_example_server() {
  echo "== start vorant-server (examples/msg_dic.exml, examples/server.rules)"
  "$BUILD/bin/vorant-server" --dictionary examples/msg_dic.exml --rules examples/server.rules \
    --host 127.0.0.1 --port 0 --quiet >"$1/server.out" 2>"$1/server.err" &
  server_pid=$!
  # The server prints its port on its first line once it listens.
  tries=0
  while ! grep -q . "$1/server.out" 2>/dev/null; do
    if ! kill -0 "$server_pid" 2>/dev/null || [ "$tries" -ge 100 ]; then
      echo "$2: vorant-server did not start:" >&2
      cat "$1/server.err" >&2
      exit 1
    fi
    tries=$((tries + 1))
    sleep 0.1
  done
  port="$(head -n 1 "$1/server.out")"
  echo "   listening on 127.0.0.1:$port"
  sed "s/^server *=.*/server = 127.0.0.1 $port/" examples/vorant.conf >"$1/vorant.conf"
}
