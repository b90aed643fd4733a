#!/usr/bin/env bash
# Runs the engine and the best hand-written SQLite statement for the same job on
# the same generated data, and prints both times and their ratio.
#   bench/compare.sh [ROWS]     (default 1,000,000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rows=${1:-1000000}
bench=${VARNOLT_BENCH:-$root/build/bench/varnolt_bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db=$work/orders.sqlite

"$bench" generate --db "$db" --rows "$rows" >/dev/null

now() { date +%s.%N; }
start=$(now)
sqlite3 "$db" "CREATE TABLE ORDERS_SQL AS SELECT * FROM ORDERS WHERE rowid IN (SELECT min(rowid) FROM ORDERS GROUP BY coalesce(NAME,''), coalesce(CITY,''))"
statement=$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }')

engine=$("$bench" run --db "$db" --table ORDERS --column NAME --column CITY --new-name ORDERS2)
echo "engine:    $engine"
engine_seconds=$(echo "$engine" | sed -E 's/.*"seconds":([0-9.e+-]+).*/\1/')
kept_engine=$(sqlite3 "$db" "SELECT count(*) FROM ORDERS2")
kept_sql=$(sqlite3 "$db" "SELECT count(*) FROM ORDERS_SQL")
printf 'statement: {"seconds":%s}\n' "$statement"
printf 'rows kept: engine %s, statement %s\n' "$kept_engine" "$kept_sql"
awk -v e="$engine_seconds" -v s="$statement" 'BEGIN { printf "ratio engine/statement: %.2f\n", e / s }'
[ "$kept_engine" = "$kept_sql" ]
