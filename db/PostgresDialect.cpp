#include "PostgresDialect.h"

namespace Db {

QString PostgresDialect::tableList() const {
    return QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = "
                          "c.relnamespace WHERE n.nspname = current_schema() AND c.relkind IN "
                          "('r', 'p') AND NOT c.relispartition ORDER BY c.relname");
}

QString PostgresDialect::columnList() const {
    return QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                          "table_schema = current_schema() AND table_name = :table_name "
                          "ORDER BY ordinal_position");
}

QString PostgresDialect::columnTypes() const {
    return QStringLiteral("SELECT column_name, data_type FROM information_schema.columns WHERE "
                          "table_schema = current_schema() AND table_name = :table_name "
                          "ORDER BY ordinal_position");
}

// A page is the rows after a row address; every value is read as its text
// and cut to what a grid shows. The address's text has a name of its own: as
// "ctid", ORDER BY would sort by that text, (0,10) before (0,2).
QString PostgresDialect::gridPage(const QString& table, const QStringList& columns, const QString&,
                                  bool first) const {
    QStringList values;
    for (const QString& column : columns)
        values << QStringLiteral("left(CAST(%1 AS text), %2)")
                      .arg(quoted(column))
                      .arg(kGridTextLength + 1);
    return QStringLiteral("SELECT CAST(ctid AS text) AS row_address, ") +
           values.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + quoted(table) +
           (first ? QString() : QStringLiteral(" WHERE ctid > CAST(:after AS tid)")) +
           QStringLiteral(" ORDER BY ctid LIMIT %1").arg(kGridPageRows);
}

QString PostgresDialect::gridKey() const {
    return QStringLiteral("SELECT 'ctid'");
}

QString PostgresDialect::beginSnapshot() const {
    return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ");
}

QString PostgresDialect::relationKind() const {
    return QStringLiteral("SELECT c.relkind FROM pg_class c JOIN pg_namespace n ON n.oid = "
                          "c.relnamespace WHERE n.nspname = current_schema() AND c.relname = "
                          ":table_name");
}

QString PostgresDialect::primaryKey() const {
    return QStringLiteral(
        "SELECT a.attname FROM pg_index i JOIN pg_class c ON c.oid = i.indrelid JOIN "
        "pg_namespace n ON n.oid = c.relnamespace CROSS JOIN LATERAL unnest(i.indkey) WITH "
        "ORDINALITY AS k(attnum, position) JOIN pg_attribute a ON a.attrelid = c.oid AND "
        "a.attnum = k.attnum WHERE i.indisprimary AND n.nspname = current_schema() AND "
        "c.relname = :table_name ORDER BY k.position");
}

QString PostgresDialect::writableColumns() const {
    return QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                          "table_schema = current_schema() AND table_name = :table_name AND "
                          "is_generated = 'NEVER' ORDER BY ordinal_position");
}

QString PostgresDialect::rowCount(const QString& table) const {
    return QStringLiteral("SELECT count(*) FROM ") + quoted(table);
}

QString PostgresDialect::createCopy(const QString& newTable, const QString& source) const {
    return QStringLiteral("CREATE TABLE ") + quoted(newTable) + QStringLiteral(" (LIKE ") +
           quoted(source) +
           QStringLiteral(" INCLUDING DEFAULTS INCLUDING CONSTRAINTS INCLUDING INDEXES INCLUDING "
                          "IDENTITY INCLUDING GENERATED)");
}

// One row of each group: the lowest row by `order` (a single column keeps
// the form of the best hand-written statement, a hashed GROUP BY; a key of
// several columns picks its first row with DISTINCT ON).
QString PostgresDialect::insertFirstRows(const QString& newTable, const QString& source,
                                         const QStringList& columns, const QStringList& keys,
                                         const QStringList& order) const {
    const QString list = quotedList(columns);
    const QString from = QStringLiteral(" FROM ") + quoted(source);
    const QString groups = keys.join(QStringLiteral(", "));
    const QString orderBy = order.join(QStringLiteral(", "));
    QString first;
    if (order.size() == 1)
        first = QStringLiteral(" WHERE %1 IN (SELECT min(%1)%2 GROUP BY %3)")
                    .arg(orderBy, from, groups);
    else
        first = QStringLiteral(" WHERE (%1) IN (SELECT DISTINCT ON (%3) %1%2 ORDER BY %3, %1)")
                    .arg(orderBy, from, groups);
    return QStringLiteral("INSERT INTO ") + quoted(newTable) + QStringLiteral(" (") + list +
           QStringLiteral(") OVERRIDING SYSTEM VALUE SELECT ") + list + from + first +
           QStringLiteral(" ORDER BY ") + orderBy;
}

QString PostgresDialect::groupCount(const QString& source, const QStringList& keys) const {
    return QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM ") + quoted(source) +
           QStringLiteral(" GROUP BY ") + keys.join(QStringLiteral(", ")) +
           QStringLiteral(") AS groups");
}

QString PostgresDialect::firstGroups(const QString& source, const QStringList& keys,
                                     const QStringList& order, int limit) const {
    QStringList named, names;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        named << QStringLiteral("%1 AS k%2").arg(keys.at(i)).arg(i);
        names << QStringLiteral("k%1").arg(i);
    }
    const QString key = names.join(QStringLiteral(", "));
    return QStringLiteral(
               "WITH numbered AS (SELECT row_number() OVER (ORDER BY %1) AS n, %2 FROM %3), "
               "grouped AS (SELECT n, min(n) OVER (PARTITION BY %4) AS kept, %4 FROM numbered) "
               "SELECT kept, CAST(array_agg(n ORDER BY n) FILTER (WHERE n <> kept) AS text), %4 "
               "FROM grouped GROUP BY kept, %4 HAVING count(*) > 1 ORDER BY kept LIMIT %5")
        .arg(order.join(QStringLiteral(", ")), named.join(QStringLiteral(", ")), quoted(source),
             key)
        .arg(limit);
}

QString PostgresDialect::groupKey(const QString& column, const QString& type) {
    static const QStringList texts{QStringLiteral("text"), QStringLiteral("character varying"),
                                   QStringLiteral("character"), QStringLiteral("name")};
    if (texts.contains(type))
        return QStringLiteral("coalesce(%1, '')").arg(quoted(column));
    return quoted(column);
}

QString PostgresDialect::foldedKey(const QString& column, const QString& type, bool ignoreCase,
                                   bool trim) {
    const QString plain = groupKey(column, type);
    if (plain == quoted(column))
        return plain;
    QString value = quoted(column);
    if (trim)
        value =
            QStringLiteral("regexp_replace(%1, '^[[:space:]]+|[[:space:]]+$', '', 'g')").arg(value);
    if (ignoreCase)
        value = QStringLiteral("lower(%1)").arg(value);
    return QStringLiteral("coalesce(%1, '')").arg(value);
}

QString PostgresDialect::listRemoved(const QString& source, const QStringList& keys,
                                     const QStringList& order, const QStringList& judged,
                                     const QStringList& judging, bool falling) const {
    QStringList named, names;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        named << QStringLiteral("%1 AS varnolt_k%2").arg(keys.at(i)).arg(i);
        names << QStringLiteral("varnolt_k%1").arg(i);
    }
    const QString ties = falling ? QStringLiteral("varnolt_n DESC") : QStringLiteral("varnolt_n");
    return QStringLiteral(
               "CREATE TEMP TABLE varnolt_removed ON COMMIT DROP AS SELECT varnolt_n AS n, "
               "varnolt_at AS at, kept, kept_at FROM (SELECT varnolt_n, varnolt_at, "
               "first_value(varnolt_n) OVER w AS kept, first_value(varnolt_at) OVER w AS kept_at "
               "FROM (SELECT row_number() OVER (ORDER BY %1) AS varnolt_n, ctid AS varnolt_at, %2 "
               "FROM %3) AS numbered WINDOW w AS (PARTITION BY %4 ORDER BY %5)) AS judged WHERE "
               "varnolt_n <> kept")
        .arg(order.join(QStringLiteral(", ")), (named + judged).join(QStringLiteral(", ")),
             quoted(source), names.join(QStringLiteral(", ")),
             (judging + QStringList{ties}).join(QStringLiteral(", ")));
}

QString PostgresDialect::countRemoved() const {
    return QStringLiteral("SELECT count(*) FROM varnolt_removed");
}

QString PostgresDialect::insertUnremovedRows(const QString& newTable, const QString& source,
                                             const QStringList& columns,
                                             const QStringList& order) const {
    const QString list = quotedList(columns);
    return QStringLiteral("INSERT INTO ") + quoted(newTable) + QStringLiteral(" (") + list +
           QStringLiteral(") OVERRIDING SYSTEM VALUE SELECT ") + list + QStringLiteral(" FROM ") +
           quoted(source) +
           QStringLiteral(" AS s WHERE NOT EXISTS (SELECT 1 FROM varnolt_removed AS r WHERE "
                          "r.at = s.ctid) ORDER BY ") +
           order.join(QStringLiteral(", "));
}

QString PostgresDialect::addNumberColumn(const QString& table, const QString& column) const {
    return QStringLiteral("ALTER TABLE ") + quoted(table) + QStringLiteral(" ADD COLUMN ") +
           quoted(column) + QStringLiteral(" bigint");
}

QString PostgresDialect::insertRemovedRows(const QString& table, const QString& source,
                                           const QStringList& columns,
                                           const QStringList& numberColumns) const {
    return QStringLiteral("INSERT INTO ") + quoted(table) + QStringLiteral(" (") +
           quotedList(columns + numberColumns) +
           QStringLiteral(") OVERRIDING SYSTEM VALUE SELECT ") +
           quotedList(QStringLiteral("s"), columns) +
           QStringLiteral(", r.n, r.kept FROM varnolt_removed AS r JOIN ") + quoted(source) +
           QStringLiteral(" AS s ON s.ctid = r.at ORDER BY r.n");
}

QString PostgresDialect::readRemovedGroups(const QString& source,
                                           const QStringList& columns) const {
    return QStringLiteral("SELECT r.kept, r.n, ") + quotedList(QStringLiteral("s"), columns) +
           QStringLiteral(" FROM varnolt_removed AS r JOIN ") + quoted(source) +
           QStringLiteral(" AS s ON s.ctid = r.kept_at ORDER BY r.kept, r.n");
}

} // namespace Db
