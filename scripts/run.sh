#!/usr/bin/env bash
# Sets everything up and runs the application against a local corvane-server.
# The server listens on 127.0.0.1:${CORVANE_PORT:-8765} and keeps its data (SQLite database and
# the outbox of mails with reset codes) in ${XDG_DATA_HOME:-~/.local/share}/corvane-server.
# A server already listening there is used as it is; one started here stops with the application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"

port=${CORVANE_PORT:-8765}
data_dir="${XDG_DATA_HOME:-$HOME/.local/share}/corvane-server"

listening() {
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null
}

server_pid=""
if ! listening; then
  mkdir -p "$data_dir"
  "$root/build/server/corvane-server" --listen 127.0.0.1 --port "$port" --data-dir "$data_dir" \
    >>"$data_dir/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 50); do
    listening && break
    kill -0 "$server_pid" 2>/dev/null || { echo "corvane-server did not start, see $data_dir/server.log" >&2; exit 1; }
    sleep 0.1
  done
  echo "corvane-server on http://127.0.0.1:$port, data in $data_dir (reset codes: $data_dir/outbox, $data_dir/server.log)"
fi

export CORVANE_PORTAL_URL="http://127.0.0.1:$port"
if [ -z "$server_pid" ]; then
  exec "$root/build/src/app/corvane" "$@"
fi
status=0
"$root/build/src/app/corvane" "$@" || status=$?
kill "$server_pid" 2>/dev/null || true
wait "$server_pid" 2>/dev/null || true
exit "$status"
