#include "MariaDbDialect.h"

namespace Db {

namespace {

const QString kOwnTable = QStringLiteral("table_schema = DATABASE() AND table_name = :table_name");

bool isText(const QString& type) {
    static const QStringList texts{QStringLiteral("char"),       QStringLiteral("varchar"),
                                   QStringLiteral("tinytext"),   QStringLiteral("text"),
                                   QStringLiteral("mediumtext"), QStringLiteral("longtext"),
                                   QStringLiteral("enum"),       QStringLiteral("set")};
    return texts.contains(type.toLower());
}

} // namespace

QString MariaDbDialect::tableList() const {
    return QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                          "DATABASE() AND table_type = 'BASE TABLE' ORDER BY table_name");
}

QString MariaDbDialect::columnList() const {
    return QStringLiteral("SELECT column_name FROM information_schema.columns WHERE ") + kOwnTable +
           QStringLiteral(" ORDER BY ordinal_position");
}

QString MariaDbDialect::columnTypes() const {
    return QStringLiteral("SELECT column_name, data_type FROM information_schema.columns WHERE ") +
           kOwnTable + QStringLiteral(" ORDER BY ordinal_position");
}

QString MariaDbDialect::gridPage(const QString& table, const QStringList& columns,
                                 const QString& key, bool first) const {
    QStringList values;
    for (const QString& column : columns)
        values << QStringLiteral("LEFT(%1, %2)").arg(quoted(column)).arg(kGridTextLength + 1);
    if (key.isEmpty())
        return QStringLiteral("SELECT ") + values.join(QStringLiteral(", ")) +
               QStringLiteral(" FROM ") + quoted(table) +
               QStringLiteral(" LIMIT %1 OFFSET :skip").arg(kGridPageRows);
    return QStringLiteral("SELECT ") + quoted(key) + QStringLiteral(", ") +
           values.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + quoted(table) +
           (first ? QString()
                  : QStringLiteral(" WHERE ") + quoted(key) + QStringLiteral(" > :after")) +
           QStringLiteral(" ORDER BY ") + quoted(key) +
           QStringLiteral(" LIMIT %1").arg(kGridPageRows);
}

// A primary key of one column orders the pages; any other table is paged by
// its place in a full read.
QString MariaDbDialect::gridKey() const {
    return QStringLiteral("SELECT CASE WHEN count(*) = 1 THEN min(column_name) END FROM "
                          "information_schema.key_column_usage WHERE ") +
           kOwnTable + QStringLiteral(" AND constraint_name = 'PRIMARY'");
}

QStringList MariaDbDialect::sessionSettings() const {
    return {QStringLiteral("SET SESSION sql_mode = CONCAT(@@sql_mode, ',ANSI_QUOTES')"),
            QStringLiteral("SET NAMES utf8mb4")};
}

QString MariaDbDialect::relationKind() const {
    return QStringLiteral("SELECT table_type FROM information_schema.tables WHERE ") + kOwnTable;
}

QString MariaDbDialect::primaryKey() const {
    return QStringLiteral("SELECT column_name FROM information_schema.key_column_usage WHERE ") +
           kOwnTable + QStringLiteral(" AND constraint_name = 'PRIMARY' ORDER BY ordinal_position");
}

QString MariaDbDialect::groupKey(const QString& column, const QString& type) {
    if (isText(type))
        return QStringLiteral("CAST(COALESCE(%1, '') AS BINARY)").arg(quoted(column));
    return quoted(column);
}

QString MariaDbDialect::rowCount(const QString& table) const {
    return QStringLiteral("SELECT count(*) FROM ") + quoted(table);
}

QString MariaDbDialect::groupCount(const QString& source, const QStringList& keys) const {
    return QStringLiteral("SELECT count(*), COALESCE(SUM(n > 1), 0) FROM (SELECT count(*) AS n "
                          "FROM ") +
           quoted(source) + QStringLiteral(" GROUP BY ") + keys.join(QStringLiteral(", ")) +
           QStringLiteral(") AS groups");
}

QString MariaDbDialect::firstGroups(const QString& source, const QStringList& keys,
                                    const QStringList& columns, const QStringList& order,
                                    int limit) const {
    QStringList named, partition, firsts;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        named << QStringLiteral("%1 AS varnolt_k%2").arg(keys.at(i)).arg(i);
        partition << QStringLiteral("varnolt_k%1").arg(i);
    }
    for (qsizetype i = 0; i < columns.size(); ++i)
        firsts << QStringLiteral("FIRST_VALUE(%1) OVER w AS varnolt_v%2")
                      .arg(quoted(columns.at(i)))
                      .arg(i);
    QStringList values;
    for (qsizetype i = 0; i < columns.size(); ++i)
        values << QStringLiteral("MIN(varnolt_v%1)").arg(i);
    return QStringLiteral("SELECT kept, GROUP_CONCAT(n ORDER BY n SEPARATOR ','), %1 FROM (SELECT "
                          "n, FIRST_VALUE(n) OVER w AS kept, %2 FROM (SELECT ROW_NUMBER() OVER "
                          "(ORDER BY %3) AS n, %4, %5 FROM %6) AS numbered WINDOW w AS "
                          "(PARTITION BY %7 ORDER BY n)) AS judged WHERE n <> kept GROUP BY kept "
                          "ORDER BY kept LIMIT %8")
        .arg(values.join(QStringLiteral(", ")), firsts.join(QStringLiteral(", ")),
             order.join(QStringLiteral(", ")), named.join(QStringLiteral(", ")),
             quotedList(columns), quoted(source), partition.join(QStringLiteral(", ")))
        .arg(limit);
}

QString MariaDbDialect::claimName() const {
    return QStringLiteral("SELECT GET_LOCK(CONCAT('varnolt:', DATABASE(), ':', :name), 0)");
}

QString MariaDbDialect::createLike(const QString& table, const QString& source) const {
    return QStringLiteral("CREATE TABLE ") + quoted(table) + QStringLiteral(" LIKE ") +
           quoted(source);
}

QString MariaDbDialect::insertFirstRows(const QString& table, const QString& source,
                                        const QStringList& columns, const QStringList& keys,
                                        const QStringList& order) const {
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM (SELECT %3, ROW_NUMBER() OVER "
                          "(PARTITION BY %4 ORDER BY %5) AS varnolt_r FROM %6) AS ranked WHERE "
                          "varnolt_r = 1 ORDER BY %5")
        .arg(quoted(table), quotedList(columns), quotedList(columns),
             keys.join(QStringLiteral(", ")), order.join(QStringLiteral(", ")), quoted(source));
}

QString MariaDbDialect::swap(const QString& table, const QString& building,
                             const QString& old) const {
    return QStringLiteral("RENAME TABLE %1 TO %2, %3 TO %1")
        .arg(quoted(table), quoted(old), quoted(building));
}

QString MariaDbDialect::rename(const QString& table, const QString& newName) const {
    return QStringLiteral("RENAME TABLE %1 TO %2").arg(quoted(table), quoted(newName));
}

QString MariaDbDialect::connectionId() const {
    return QStringLiteral("SELECT CONNECTION_ID()");
}

QString MariaDbDialect::killQuery(qint64 connection) const {
    return QStringLiteral("KILL QUERY %1").arg(connection);
}

} // namespace Db
