#!/usr/bin/env bash
# A private PostgreSQL server for the tests, in a folder of its own: its socket
# is in that folder, it listens on no TCP port, and it checks passwords.
#   pg-server.sh start DIR    prints the variables the tests read, to eval
#   pg-server.sh stop DIR
# The server refuses to run as root, so as root it runs as the postgres user.
set -euo pipefail
action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  as_owner=(runuser -u postgres --)
fi

case "$action" in
start)
  mkdir -p "$dir"
  [ "$(id -u)" -ne 0 ] || chown postgres "$dir"
  password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
  printf '%s\n' "$password" > "$dir/password"
  [ "$(id -u)" -ne 0 ] || chown postgres "$dir/password"
  "${as_owner[@]}" "$bin/initdb" -D "$dir/data" -U varnolt --pwfile="$dir/password" \
    --auth=scram-sha-256 --encoding=UTF8 --locale=C >"$dir/initdb.log" 2>&1
  "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-c listen_addresses='' -k $dir -c fsync=off" start >/dev/null
  echo "export VARNOLT_TEST_PG='postgresql:///postgres?host=$dir'"
  echo "export VARNOLT_TEST_PG_USER=varnolt"
  echo "export VARNOLT_TEST_PG_PASSWORD='$password'"
  ;;
stop)
  if [ -d "$dir/data" ]; then
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  ;;
esac
