#!/usr/bin/env bash
# Makes the demo database: small tables that show what the wizard does.
#   make-demo-db.sh FILE
set -euo pipefail
file=$1
rm -f "$file"
mkdir -p "$(dirname "$file")"
sqlite3 "$file" <<'SQL'
-- The classic example: rows 3 and 4 repeat rows 1 and 2 on NAME and CITY;
-- row 5 differs in letter case and stays.
CREATE TABLE VISITORS (ID INTEGER, NAME TEXT, CITY TEXT);
INSERT INTO VISITORS VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', NULL), (3, 'Ann', 'Oslo'),
                            (4, 'Bob', NULL), (5, 'ann', 'Oslo');

-- Fifty thousand orders, about a third of them repeating an earlier customer and city.
CREATE TABLE ORDERS (ID INTEGER, NAME TEXT, CITY TEXT, AMOUNT REAL, NOTE TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000)
INSERT INTO ORDERS
SELECT i,
       'Customer ' || (abs(random()) % 33000),
       CASE abs(random()) % 5 WHEN 0 THEN 'Oslo' WHEN 1 THEN 'Bergen' WHEN 2 THEN 'Tromsø'
                              WHEN 3 THEN 'Oslo ' ELSE NULL END,
       round((abs(random()) % 100000) / 100.0, 2),
       CASE WHEN i % 7 = 0 THEN 'gift, wrapped' ELSE '' END
FROM n;

-- A name that only works between double quotes.
CREATE TABLE "Order lines" (ORDER_ID INTEGER, "item name" TEXT, QTY INTEGER);
INSERT INTO "Order lines" VALUES (1, 'Pen', 2), (1, 'Ink', 1), (2, 'Pen', 2), (1, 'Pen', 2);

-- A table without rows.
CREATE TABLE EMPTY_LOG (AT TEXT, MESSAGE TEXT);

-- Many columns and many rows, for the preview grid.
CREATE TABLE MEASUREMENTS (ID INTEGER, STATION TEXT, DAY TEXT,
  T00 REAL, T03 REAL, T06 REAL, T09 REAL, T12 REAL, T15 REAL, T18 REAL, T21 REAL,
  WIND REAL, GUST REAL, RAIN REAL, SNOW REAL, PRESSURE REAL, HUMIDITY REAL, CLOUD INTEGER,
  SUNSHINE REAL, REMARK TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)
INSERT INTO MEASUREMENTS
SELECT i, 'Station ' || (i % 40), date('2020-01-01', '+' || (i / 40) || ' days'),
       (i % 31) - 10, (i % 29) - 9, (i % 27) - 8, (i % 25) - 5, (i % 23) - 2, (i % 21), (i % 19),
       (i % 17) - 3, (i % 15) / 1.5, (i % 13) / 1.2, (i % 11) / 4.0, (i % 9) / 8.0,
       990 + (i % 40), 40 + (i % 60), i % 9, (i % 12) / 2.0,
       CASE WHEN i % 50 = 0 THEN 'checked' ELSE NULL END
FROM n;
SQL
