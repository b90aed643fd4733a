#!/usr/bin/env bash
# Installs what is missing, starts private PostgreSQL and MariaDB servers, builds and runs
# every test: once as shipped, then once more built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
#   scripts/test.sh [--quick]     (--quick leaves out the sanitizer pass)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

# A PostgreSQL and a MariaDB server of the tests' own, stopped however the
# script ends.
pg_dir=$(mktemp -d "${TMPDIR:-/tmp}/varnolt-pg.XXXXXX")
mariadb_dir=$(mktemp -d "${TMPDIR:-/tmp}/varnolt-mariadb.XXXXXX")
trap '"$root/scripts/pg-server.sh" stop "$pg_dir"; "$root/scripts/mariadb-server.sh" stop "$mariadb_dir"' EXIT
eval "$("$root/scripts/pg-server.sh" start "$pg_dir")"
eval "$("$root/scripts/mariadb-server.sh" start "$mariadb_dir")"

# Every test that needs a server fails, rather than skips, without it.
export VARNOLT_REQUIRE_SERVERS=1
"$root/scripts/build.sh"
(cd "$root/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)

if [ "${1:-}" != "--quick" ]; then
  echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
  BUILD_DIR=$root/build-sanitize BUILD_TYPE=Debug "$root/scripts/build.sh" -DVARNOLT_SANITIZE=ON
  (cd "$root/build-sanitize" &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)
fi
