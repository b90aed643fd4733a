#!/usr/bin/env bash
# A private MariaDB server for the tests, in a folder of its own: its socket is
# in that folder, it listens on no TCP port, and its one user has a password
# and may make the databases the tests use.
#   mariadb-server.sh start DIR    prints the variables the tests read, to eval
#   mariadb-server.sh stop DIR
# The server refuses to run as root, so as root it runs as the mysql user.
set -euo pipefail
action=$1
dir=$2
owner=$(id -un)
[ "$(id -u)" -ne 0 ] || owner=mysql

case "$action" in
start)
  mkdir -p "$dir"
  [ "$(id -u)" -ne 0 ] || chown mysql "$dir"
  mariadb-install-db --no-defaults --user="$owner" --datadir="$dir/data" \
    --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1
  mariadbd --no-defaults --user="$owner" --datadir="$dir/data" --socket="$dir/socket" \
    --skip-networking --pid-file="$dir/pid" --log-error="$dir/server.log" \
    --innodb-flush-log-at-trx-commit=0 --innodb-buffer-pool-size=256M \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci >/dev/null 2>&1 &
  for _ in $(seq 300); do
    [ -S "$dir/socket" ] && mariadb --no-defaults -S "$dir/socket" -u root -e 'SELECT 1' \
      >/dev/null 2>&1 && break
    sleep 0.1
  done
  password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
  mariadb --no-defaults -S "$dir/socket" -u root -e "
    CREATE USER varnolt@localhost IDENTIFIED BY '$password';
    GRANT ALL ON *.* TO varnolt@localhost; CREATE DATABASE varnolt;"
  echo "export VARNOLT_TEST_MARIADB='mariadb://localhost/varnolt?socket=$dir/socket'"
  echo "export VARNOLT_TEST_MARIADB_USER=varnolt"
  echo "export VARNOLT_TEST_MARIADB_PASSWORD='$password'"
  ;;
stop)
  if [ -f "$dir/pid" ]; then
    kill "$(cat "$dir/pid")" 2>/dev/null || true
    for _ in $(seq 100); do
      kill -0 "$(cat "$dir/pid" 2>/dev/null)" 2>/dev/null || break
      sleep 0.1
    done
  fi
  rm -rf "$dir"
  ;;
esac
