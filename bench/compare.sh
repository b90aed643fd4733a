#!/usr/bin/env bash
# Times the engine against the best hand-written SQLite statement for the same
# job, on the same generated data, in the same run: best of three each, taken
# in turns so that the machine's load falls on both alike.
#   bench/compare.sh [CASE ...]     (default: 1000000 5000000 wide)
#   bench/compare.sh postgres [ROWS ...]   (default: 1000000 5000000)
#   bench/compare.sh mariadb [ROWS ...]    (default: 1000000)
#   bench/compare.sh options [ROWS]   (default: 1000000)
#   bench/compare.sh inplace [ROWS]   (default: 5000000)
#   VARNOLT_BENCH_ARGS=--no-progress bench/compare.sh ...   (no progress receiver)
# A case is a number of orders (NAME and CITY are the key), or "wide": 2,000,000
# rows whose keys are distinct 400-character texts, every tenth row repeating
# an earlier one. "postgres" starts a PostgreSQL server of its own and times
# orders tables there, against the same statement run by the server (and
# the primary key added to its table, as the engine's copy has the source's). For each case it prints the ratio engine/statement, the
# floor (copying only the surviving rows, which any run that reads the source
# and writes the survivors must at least do) and the engine's multiple of it,
# the engine's peak memory, the longest time the event loop waited, and whether
# the rows kept are exactly the statement's, in the same order; it fails when
# they are not. "options" times the run with each of the options that choose
# the row that stays, fold texts or keep the removed rows, against the run
# without them, in turns, and prints each one's multiple of it and its peak
# memory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench=${VARNOLT_BENCH:-$root/build/bench/varnolt_bench}
rounds=${VARNOLT_ROUNDS:-3}
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(1000000 5000000 wide)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db=$work/bench.sqlite

field() { echo "$1" | sed -E "s/.*\"$2\":([^,}]*).*/\1/"; }
best() { printf '%s\n' "$@" | sort -g | head -n 1; }
most() { printf '%s\n' "$@" | sort -g | tail -n 1; }
timed() {
  local start
  start=$(date +%s.%N)
  sqlite3 "$db" "$1"
  echo "$(date +%s.%N) - $start" | bc
}

# compare LABEL TABLE COLUMN...
compare() {
  local label=$1 table=$2
  shift 2
  local groups=() arguments=()
  for column in "$@"; do
    groups+=("coalesce($column,'')")
    arguments+=(--column "$column")
  done
  local keys
  keys=$(IFS=,; echo "${groups[*]}")
  local statement="CREATE TABLE BY_SQL AS SELECT * FROM $table WHERE rowid IN (SELECT min(rowid) FROM $table GROUP BY $keys)"
  local engine_times=() statement_times=() floor_times=() memories=() waits=()
  for _ in $(seq "$rounds"); do
    sqlite3 "$db" "DROP TABLE IF EXISTS BY_SQL; DROP TABLE IF EXISTS BY_ENGINE; DROP TABLE IF EXISTS FLOOR"
    statement_times+=("$(timed "$statement")")
    floor_times+=("$(timed "CREATE TABLE FLOOR AS SELECT * FROM BY_SQL")")
    # shellcheck disable=SC2086
    line=$("$bench" run --db "$db" --table "$table" "${arguments[@]}" \
             --new-name BY_ENGINE ${VARNOLT_BENCH_ARGS:-})
    [ "$(field "$line" status)" = 0 ] || { echo "engine failed: $line" >&2; exit 1; }
    engine_times+=("$(field "$line" seconds)")
    memories+=("$(field "$line" peak_memory_mb)")
    waits+=("$(field "$line" longest_wait_ms)")
  done
  local engine hand floor same=no kept wait
  engine=$(best "${engine_times[@]}")
  hand=$(best "${statement_times[@]}")
  floor=$(best "${floor_times[@]}")
  if [ "$(sqlite3 "$db" 'SELECT * FROM BY_ENGINE' | sha256sum)" = \
       "$(sqlite3 "$db" 'SELECT * FROM BY_SQL' | sha256sum)" ]; then
    same=yes
  fi
  kept=$(sqlite3 "$db" "SELECT count(*) FROM BY_ENGINE")
  wait=$(most "${waits[@]}")
  [ "$wait" = null ] && wait="(no receiver to wait for)" || wait="$wait ms"
  printf '%s: engine %.3f s, statement %.3f s, ratio %.2f; floor %.3f s, engine %.1fx the floor; peak memory %.0f MB; longest wait %s; rows kept %s, identical and in the same order: %s\n' \
    "$label" "$engine" "$hand" "$(echo "$engine / $hand" | bc -l)" "$floor" \
    "$(echo "$engine / $floor" | bc -l)" "$(most "${memories[@]}")" "$wait" "$kept" "$same"
  [ "$same" = yes ]
}

if [ "${cases[0]}" = options ]; then
  rows=${cases[1]:-1000000}
  "$bench" generate --db "$db" --rows "$rows" >/dev/null
  sets=("" "--keep last" "--order-by AMOUNT" "--ignore-case" "--trim"
        "--ignore-case --trim --keep last --order-by AMOUNT:desc"
        "--removed-into REMOVED --report $work/groups.jsonl")
  times=() memories=()
  for _ in $(seq "$rounds"); do
    for i in "${!sets[@]}"; do
      sqlite3 "$db" "DROP TABLE IF EXISTS BY_ENGINE; DROP TABLE IF EXISTS REMOVED"
      # shellcheck disable=SC2086
      line=$("$bench" run --db "$db" --table ORDERS --column NAME --column CITY \
               --new-name BY_ENGINE ${sets[$i]} ${VARNOLT_BENCH_ARGS:-})
      [ "$(field "$line" status)" = 0 ] || { echo "engine failed: $line" >&2; exit 1; }
      times[i]="${times[i]:-} $(field "$line" seconds)"
      memories[i]="${memories[i]:-} $(field "$line" peak_memory_mb)"
    done
  done
  # shellcheck disable=SC2086
  plain=$(best ${times[0]})
  for i in "${!sets[@]}"; do
    # shellcheck disable=SC2086
    engine=$(best ${times[i]})
    # shellcheck disable=SC2086
    printf '%s rows, %s: %.3f s, %.2fx the run without options; peak memory %.0f MB\n' \
      "$rows" "$(echo "${sets[i]:-no options}" | sed "s|$work/||")" "$engine" "$(echo "$engine / $plain" | bc -l)" \
      "$(most ${memories[i]})"
  done
  exit 0
fi

# In place: the engine cleaning a table against the hand-written DELETE, each
# on a fresh copy of the same orders, the rows left compared.
if [ "${cases[0]}" = inplace ]; then
  rows=${cases[1]:-5000000}
  "$bench" generate --db "$db" --rows "$rows" >/dev/null
  fresh() { sqlite3 "$db" "DROP TABLE IF EXISTS T; DROP TABLE IF EXISTS T_REMOVED; CREATE TABLE T AS SELECT * FROM ORDERS"; }
  engine_times=() statement_times=() memories=()
  for _ in $(seq "$rounds"); do
    fresh
    statement_times+=("$(timed "DELETE FROM T WHERE rowid NOT IN (SELECT min(rowid) FROM T GROUP BY coalesce(NAME,''), coalesce(CITY,''))")")
    by_sql=$(sqlite3 "$db" 'SELECT rowid, * FROM T' | sha256sum)
    fresh
    # shellcheck disable=SC2086
    line=$("$bench" run --db "$db" --table T --new-name T --column NAME --column CITY --in-place ${VARNOLT_BENCH_ARGS:-})
    [ "$(field "$line" status)" = 0 ] || { echo "engine failed: $line" >&2; exit 1; }
    engine_times+=("$(field "$line" seconds)")
    memories+=("$(field "$line" peak_memory_mb)")
  done
  same=no
  [ "$(sqlite3 "$db" 'SELECT rowid, * FROM T' | sha256sum)" = "$by_sql" ] && same=yes
  engine=$(best "${engine_times[@]}")
  hand=$(best "${statement_times[@]}")
  printf 'In place, %s rows: engine %.3f s, DELETE %.3f s, ratio %.2f; peak memory %.0f MB; rows left identical: %s\n' \
    "$rows" "$engine" "$hand" "$(echo "$engine / $hand" | bc -l)" "$(most "${memories[@]}")" "$same"
  [ "$same" = yes ]
  exit 0
fi

# server_compare LABEL SIZE...: for each size, the orders table made by
# `generate ROWS`, then the engine timed against `$statement`, in turns, on
# the server that `sql_` (a statement) and `rows_` (rows as text) reach and
# `$server`/`$server_user` name.
server_compare() {
  local label=$1 rows
  shift
  for rows in "$@"; do
    sql_ "DROP TABLE IF EXISTS orders, o2, by_engine"
    sql_ "$(generate "$rows")"
    local engine_times=() statement_times=() memories=() start line
    for _ in $(seq "$rounds"); do
      sql_ "DROP TABLE IF EXISTS o2, by_engine"
      start=$(date +%s.%N)
      sql_ "$statement"
      statement_times+=("$(echo "$(date +%s.%N) - $start" | bc)")
      line=$("$bench" run --db "$server" --user "$server_user" --table orders \
               --column name --column city --new-name by_engine)
      [ "$(field "$line" status)" = 0 ] || { echo "engine failed: $line" >&2; exit 1; }
      engine_times+=("$(field "$line" seconds)")
      memories+=("$(field "$line" peak_memory_mb)")
    done
    local engine hand same=no
    engine=$(best "${engine_times[@]}")
    hand=$(best "${statement_times[@]}")
    if [ "$(rows_ 'SELECT * FROM by_engine ORDER BY id' | sha256sum)" = \
         "$(rows_ 'SELECT * FROM o2 ORDER BY id' | sha256sum)" ]; then
      same=yes
    fi
    printf '%s, %s rows: engine %.3f s, statement %.3f s, ratio %.2f; peak memory %.0f MB; identical rows: %s\n' \
      "$label" "$rows" "$engine" "$hand" "$(echo "$engine / $hand" | bc -l)" "$(most "${memories[@]}")" "$same"
    [ "$same" = yes ]
  done
}

if [ "${cases[0]}" = mariadb ]; then
  sizes=("${cases[@]:1}")
  [ ${#sizes[@]} -gt 0 ] || sizes=(1000000)
  mariadb_dir=$(mktemp -d "${TMPDIR:-/tmp}/varnolt-bench-mariadb.XXXXXX")
  trap '"$root/scripts/mariadb-server.sh" stop "$mariadb_dir"; rm -rf "$work"' EXIT
  eval "$("$root/scripts/mariadb-server.sh" start "$mariadb_dir")"
  export VARNOLT_PASSWORD=$VARNOLT_TEST_MARIADB_PASSWORD
  server=$VARNOLT_TEST_MARIADB server_user=$VARNOLT_TEST_MARIADB_USER
  sql_() { mariadb --no-defaults -S "$mariadb_dir/socket" -u root varnolt -e "$1" >/dev/null; }
  rows_() { mariadb --no-defaults -S "$mariadb_dir/socket" -u root varnolt -N -e "$1"; }
  generate() {
    echo "CREATE TABLE orders (id INT PRIMARY KEY, name VARCHAR(60), city VARCHAR(20),
        amount DECIMAL(10, 2), note VARCHAR(20));
      INSERT INTO orders SELECT seq, CASE WHEN RAND() < 0.3
        THEN CONCAT('Customer ', FLOOR(RAND() * seq / 3)) ELSE CONCAT('Customer ', seq) END,
        ELT(1 + seq % 5, 'Oslo', 'Bergen', 'Tromsø', NULL, ''), ROUND(RAND() * 1000, 2), ''
        FROM seq_1_to_$1; ANALYZE TABLE orders"
  }
  statement="CREATE TABLE o2 LIKE orders; INSERT INTO o2 SELECT o.* FROM orders o JOIN
    (SELECT min(id) AS id FROM orders GROUP BY CAST(COALESCE(name, '') AS BINARY),
    CAST(COALESCE(city, '') AS BINARY)) m ON o.id = m.id"
  server_compare MariaDB "${sizes[@]}"
  exit 0
fi

if [ "${cases[0]}" = postgres ]; then
  sizes=("${cases[@]:1}")
  [ ${#sizes[@]} -gt 0 ] || sizes=(1000000 5000000)
  pg_dir=$(mktemp -d "${TMPDIR:-/tmp}/varnolt-bench-pg.XXXXXX")
  trap '"$root/scripts/pg-server.sh" stop "$pg_dir"; rm -rf "$work"' EXIT
  eval "$("$root/scripts/pg-server.sh" start "$pg_dir")"
  export PGPASSWORD=$VARNOLT_TEST_PG_PASSWORD VARNOLT_PASSWORD=$VARNOLT_TEST_PG_PASSWORD
  server=$VARNOLT_TEST_PG server_user=$VARNOLT_TEST_PG_USER
  psql_() { PGOPTIONS='-c client_min_messages=warning' psql -q -X -v ON_ERROR_STOP=1 -h "$pg_dir" -U "$VARNOLT_TEST_PG_USER" -d postgres "$@"; }
  sql_() { psql_ -c "$1"; }
  rows_() { psql_ -At -c "$1"; }
  generate() {
    echo "CREATE TABLE orders (id int PRIMARY KEY, name text, city text, amount numeric, note text);
      INSERT INTO orders SELECT i, CASE WHEN random() < 0.3 THEN 'Customer ' || (random() * i / 3)::int
        ELSE 'Customer ' || i END, (ARRAY['Oslo', 'Bergen', 'Tromsø', NULL, ''])[1 + i % 5],
        round((random() * 1000)::numeric, 2), '' FROM generate_series(1, $1) AS i; ANALYZE orders"
  }
  statement="CREATE TABLE o2 AS SELECT * FROM orders WHERE id IN (SELECT min(id) FROM orders
    GROUP BY coalesce(name,''), coalesce(city,'')); ALTER TABLE o2 ADD PRIMARY KEY (id)"
  server_compare PostgreSQL "${sizes[@]}"
  exit 0
fi

for case in "${cases[@]}"; do
  rm -f "$db"
  if [ "$case" = wide ]; then
    sqlite3 "$db" "CREATE TABLE WIDE (ID INTEGER, K TEXT);
      WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000000)
      INSERT INTO WIDE SELECT i, printf('%.388c%012d', 'w', CASE WHEN i % 10 = 0
        THEN (abs(random()) % (i / 10)) * 10 + 1 + abs(random()) % 9 ELSE i END) FROM n"
    compare "2000000 rows of 400-character keys" WIDE K
  else
    "$bench" generate --db "$db" --rows "$case" >/dev/null
    compare "$case rows" ORDERS NAME CITY
  fi
done
