#!/usr/bin/env bash
# Times the engine against the best hand-written SQLite statement for the same
# job, on the same generated data, in the same run: best of three each, taken
# in turns so that the machine's load falls on both alike.
#   bench/compare.sh [ROWS ...]     (default: 1000000 5000000)
#   VARNOLT_BENCH_ARGS=--no-progress bench/compare.sh ...   (no progress receiver)
# For each size it prints the ratio engine/statement, the engine's peak memory,
# the longest time the event loop waited, and whether the rows kept are exactly
# the statement's, in the same order; it fails when they are not.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench=${VARNOLT_BENCH:-$root/build/bench/varnolt_bench}
rounds=${VARNOLT_ROUNDS:-3}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000 5000000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db=$work/orders.sqlite

statement="CREATE TABLE ORDERS_SQL AS SELECT * FROM ORDERS WHERE rowid IN (SELECT min(rowid) FROM ORDERS GROUP BY coalesce(NAME,''), coalesce(CITY,''))"
field() { echo "$1" | sed -E "s/.*\"$2\":([^,}]*).*/\1/"; }
best() { printf '%s\n' "$@" | sort -g | head -n 1; }
most() { printf '%s\n' "$@" | sort -g | tail -n 1; }

for rows in "${sizes[@]}"; do
  rm -f "$db"
  "$bench" generate --db "$db" --rows "$rows" >/dev/null
  engine_times=() statement_times=() memories=() waits=()
  for _ in $(seq "$rounds"); do
    sqlite3 "$db" "DROP TABLE IF EXISTS ORDERS_SQL; DROP TABLE IF EXISTS ORDERS2"
    start=$(date +%s.%N)
    sqlite3 "$db" "$statement"
    statement_times+=("$(echo "$(date +%s.%N) - $start" | bc)")
    # shellcheck disable=SC2086
    line=$("$bench" run --db "$db" --table ORDERS --column NAME --column CITY \
             --new-name ORDERS2 ${VARNOLT_BENCH_ARGS:-})
    [ "$(field "$line" status)" = 0 ] || { echo "engine failed: $line" >&2; exit 1; }
    engine_times+=("$(field "$line" seconds)")
    memories+=("$(field "$line" peak_memory_mb)")
    waits+=("$(field "$line" longest_wait_ms)")
  done
  engine=$(best "${engine_times[@]}")
  hand=$(best "${statement_times[@]}")
  same=no
  if [ "$(sqlite3 "$db" 'SELECT * FROM ORDERS2' | sha256sum)" = \
       "$(sqlite3 "$db" 'SELECT * FROM ORDERS_SQL' | sha256sum)" ]; then
    same=yes
  fi
  kept=$(sqlite3 "$db" "SELECT count(*) FROM ORDERS2")
  wait=$(most "${waits[@]}")
  [ "$wait" = null ] && wait="(no receiver to wait for)" || wait="$wait ms"
  printf '%s rows: engine %.3f s, statement %.3f s, ratio %.2f; peak memory %.0f MB; longest wait %s; rows kept %s, identical and in the same order: %s\n' \
    "$rows" "$engine" "$hand" "$(echo "$engine / $hand" | bc -l)" "$(most "${memories[@]}")" \
    "$wait" "$kept" "$same"
  [ "$same" = yes ]
done
