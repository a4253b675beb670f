#!/usr/bin/env bash
# Runs a command against a throw-away PostgreSQL server: a fresh cluster in a temporary folder,
# reachable only through a Unix socket there, named to the command in CORVANE_TEST_POSTGRES.
# Exits 77 (skipped) when the PostgreSQL server programs are not installed.
set -euo pipefail

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "PostgreSQL server programs not found; skipping" >&2
  exit 77
fi

folder=$(mktemp -d /tmp/corvane-pg.XXXXXX)
user=$(id -un)
as_user=()
# initdb refuses to run as root; run the cluster as the postgres account then.
if [ "$(id -u)" -eq 0 ]; then
  user=postgres
  as_user=(runuser -u postgres --)
  chown postgres "$folder"
fi

cleanup() {
  "${as_user[@]}" "$bin/pg_ctl" -D "$folder/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$folder"
}
trap cleanup EXIT

"${as_user[@]}" "$bin/initdb" -D "$folder/data" -U "$user" -A trust --no-sync >"$folder/initdb.log" 2>&1 ||
  { cat "$folder/initdb.log" >&2; exit 1; }
"${as_user[@]}" "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
  -o "-c listen_addresses='' -k $folder -c fsync=off" start >/dev/null ||
  { cat "$folder/server.log" >&2; exit 1; }

export CORVANE_TEST_POSTGRES="postgresql://$user@/postgres?host=$folder"
"$@"
