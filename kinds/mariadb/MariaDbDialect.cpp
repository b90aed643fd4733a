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

// By the expression a computed column has, which MySQL gives as MariaDB does
// (it has no is_generated).
QString MariaDbDialect::writtenColumns() const {
    return QStringLiteral("SELECT column_name FROM information_schema.columns WHERE ") + kOwnTable +
           QStringLiteral(" AND COALESCE(generation_expression, '') = '' ORDER BY "
                          "ordinal_position");
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

namespace {

// A text as a literal of its UTF-8 bytes, read the same whatever the
// session's escapes and character set.
QString textLiteral(const QString& text) {
    return QStringLiteral("_utf8mb4 X'%1'").arg(QString::fromLatin1(text.toUtf8().toHex()));
}

// The characters `from` put aside as `to`, one for one.
QString swapped(const QString& text, const QString& from, const QString& to) {
    QString value = text;
    for (qsizetype i = 0; i < from.size(); ++i)
        value = QStringLiteral("REPLACE(%1, %2, %3)")
                    .arg(value, textLiteral(from.at(i)), textLiteral(to.at(i)));
    return value;
}

} // namespace

QString MariaDbDialect::caseCollation() const {
    // MariaDB lists its Unicode 14 collations without their character set.
    return QStringLiteral("SELECT IF(collation_name = 'uca1400_as_cs', 'utf8mb4_uca1400_as_cs', "
                          "collation_name) FROM information_schema.collations WHERE "
                          "collation_name IN ('uca1400_as_cs', 'utf8mb4_0900_as_cs', "
                          "'utf8mb4_unicode_520_ci') ORDER BY FIELD(collation_name, "
                          "'utf8mb4_unicode_520_ci', 'utf8mb4_0900_as_cs', 'uca1400_as_cs') DESC "
                          "LIMIT 1");
}

QString MariaDbDialect::groupKey(const QString& column, const QString& type, bool ignoreCase,
                                 bool trim, const QString& collation) {
    if (!isText(type))
        return quoted(column);
    // Case is mapped by the collation's tables, whatever the column's own
    // collation and character set; without folding, no collation is named,
    // so that a server without that one runs the rest.
    QString value = QStringLiteral("CONVERT(%1 USING utf8mb4)").arg(quoted(column));
    if (ignoreCase && !collation.isEmpty())
        value += QStringLiteral(" COLLATE ") + collation;
    if (trim) {
        // Unicode's white space, the characters themselves in the class.
        const QString blank = QStringLiteral("[\t\n\v\f\r \u0085\u00a0\u1680\u2000-\u200a"
                                             "\u2028\u2029\u202f\u205f\u3000]");
        value = QStringLiteral("REGEXP_REPLACE(%1, %2, '')")
                    .arg(value, textLiteral(QStringLiteral("^%1+|%1+$").arg(blank)));
    }
    if (ignoreCase) {
        // Upper case first, then lower, joins what simple case folding joins
        // (final sigma, long s, the Kelvin sign); the Turkish dotted and
        // dotless i, which it leaves alone, are kept out of it.
        const QString turkish = QStringLiteral("\u0130\u0131");
        const QString aside = QStringLiteral("\ue000\ue001");
        value = swapped(QStringLiteral("LOWER(UPPER(%1))").arg(swapped(value, turkish, aside)),
                        aside, turkish);
    }
    return QStringLiteral("CAST(COALESCE(%1, '') AS BINARY)").arg(value);
}

QString MariaDbDialect::rowCount(const QString& table) const {
    return QStringLiteral("SELECT count(*) FROM ") + quoted(table);
}

QString MariaDbDialect::numberedRows(const QString& table, const QString& source,
                                     const QStringList& columns) const {
    return QStringLiteral(
               "CREATE TEMPORARY TABLE %1 (varnolt_place BIGINT AUTO_INCREMENT PRIMARY KEY) "
               "SELECT %2 FROM %3")
        .arg(quoted(table), quotedList(columns), quoted(source));
}

// MariaDB puts NULLs first rising and last falling, as the other kinds are
// told to, and has no words to say so.
QString MariaDbDialect::judgedRows(const QString& source, const QStringList& columns,
                                   const QStringList& keys, const QStringList& order,
                                   const QStringList& judging, bool falling,
                                   const QStringList& shown) const {
    QStringList terms;
    for (QString term : judging)
        terms << term.remove(QStringLiteral(" NULLS FIRST")).remove(QStringLiteral(" NULLS LAST"));
    terms << (falling ? QStringLiteral("varnolt_n DESC") : QStringLiteral("varnolt_n"));
    QStringList firsts;
    for (qsizetype i = 0; i < shown.size(); ++i)
        firsts << QStringLiteral("FIRST_VALUE(%1) OVER w AS varnolt_v%2")
                      .arg(quoted(shown.at(i)))
                      .arg(i);
    return QStringLiteral("SELECT varnolt_n, FIRST_VALUE(varnolt_n) OVER w AS varnolt_kept, %1%2 "
                          "FROM (SELECT ROW_NUMBER() OVER (%3) AS varnolt_n, %2 FROM %4) AS "
                          "numbered WINDOW w AS (PARTITION BY %5 ORDER BY %6)")
        .arg(firsts.isEmpty() ? QString()
                              : firsts.join(QStringLiteral(", ")) + QStringLiteral(", "),
             quotedList(columns), QStringLiteral("ORDER BY ") + order.join(QStringLiteral(", ")),
             quoted(source), keys.join(QStringLiteral(", ")), terms.join(QStringLiteral(", ")));
}

QString MariaDbDialect::removedRows(const QString& judged, int shown) const {
    QStringList values;
    for (int i = 0; i < shown; ++i)
        values << QStringLiteral(", varnolt_v%1").arg(i);
    return QStringLiteral("SELECT varnolt_kept, varnolt_n%1 FROM (%2) AS judged WHERE varnolt_n <> "
                          "varnolt_kept ORDER BY varnolt_kept, varnolt_n")
        .arg(values.join(QString()), judged);
}

QString MariaDbDialect::insertFirstRows(const QString& table, const QString& source,
                                        const QStringList& columns, const QStringList& keys,
                                        const QStringList& order) const {
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM (SELECT *, ROW_NUMBER() OVER "
                          "(PARTITION BY %3 ORDER BY %4) AS varnolt_r FROM %5) AS ranked WHERE "
                          "varnolt_r = 1 ORDER BY %4")
        .arg(quoted(table), quotedList(columns), keys.join(QStringLiteral(", ")),
             order.join(QStringLiteral(", ")), quoted(source));
}

QString MariaDbDialect::insertKeptRows(const QString& table, const QString& judged,
                                       const QStringList& columns) const {
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM (%3) AS judged WHERE varnolt_n = "
                          "varnolt_kept ORDER BY varnolt_n")
        .arg(quoted(table), quotedList(columns), judged);
}

QString MariaDbDialect::insertRemovedRows(const QString& table, const QString& judged,
                                          const QStringList& columns,
                                          const QStringList& numberColumns) const {
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3, varnolt_n, varnolt_kept FROM (%4) AS "
                          "judged WHERE varnolt_n <> varnolt_kept ORDER BY varnolt_n")
        .arg(quoted(table), quotedList(columns + numberColumns), quotedList(columns), judged);
}

QString MariaDbDialect::foreignKeys() const {
    return QStringLiteral(
        "SELECT k.constraint_name, k.column_name, k.referenced_table_schema, "
        "k.referenced_table_name, k.referenced_column_name, r.update_rule, r.delete_rule FROM "
        "information_schema.key_column_usage AS k JOIN information_schema.referential_constraints "
        "AS r ON r.constraint_schema = k.constraint_schema AND r.constraint_name = "
        "k.constraint_name AND r.table_name = k.table_name WHERE k.table_schema = DATABASE() AND "
        "k.table_name = :table_name AND k.referenced_table_name IS NOT NULL ORDER BY "
        "k.constraint_name, k.ordinal_position");
}

QString MariaDbDialect::addForeignKey(const QString& table, const QString& name,
                                      const QStringList& columns, const QString& parent,
                                      const QStringList& parentColumns, const QString& onUpdate,
                                      const QString& onDelete) const {
    return QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT %2 FOREIGN KEY (%3) REFERENCES %4 (%5) "
                          "ON UPDATE %6 ON DELETE %7")
        .arg(quoted(table), quoted(name), quotedList(columns), parent, quotedList(parentColumns),
             onUpdate, onDelete);
}

QString MariaDbDialect::tablesReferringTo() const {
    return QStringLiteral(
        "SELECT DISTINCT table_name FROM information_schema.referential_constraints "
        "WHERE constraint_schema = DATABASE() AND referenced_table_name = "
        ":table_name AND table_name <> referenced_table_name ORDER BY 1");
}

QString MariaDbDialect::deleteTriggers() const {
    return QStringLiteral("SELECT trigger_name FROM information_schema.triggers WHERE "
                          "event_object_schema = DATABASE() AND event_object_table = :table_name "
                          "AND event_manipulation = 'DELETE' ORDER BY 1");
}

QString MariaDbDialect::engineWithoutTransactions() const {
    return QStringLiteral("SELECT t.engine FROM information_schema.tables AS t JOIN "
                          "information_schema.engines AS e ON e.engine = t.engine WHERE "
                          "t.table_schema = DATABASE() AND t.table_name = :table_name AND "
                          "e.transactions <> 'YES'");
}

QString MariaDbDialect::lockRows(const QString& table) const {
    return QStringLiteral("SELECT count(*) FROM ") + quoted(table) + QStringLiteral(" FOR UPDATE");
}

QString MariaDbDialect::deleteRemovedRows(const QString& source, const QString& judged,
                                          const QStringList& primaryKey) const {
    QStringList matched;
    for (const QString& column : primaryKey)
        matched << QStringLiteral("s.%1 = j.%1").arg(column);
    return QStringLiteral("DELETE s FROM %1 AS s JOIN %2 AS j ON %3 WHERE j.varnolt_n <> "
                          "j.varnolt_kept")
        .arg(quoted(source), quoted(judged), matched.join(QStringLiteral(" AND ")));
}

QString MariaDbDialect::addNumberColumns(const QString& table,
                                         const QStringList& numberColumns) const {
    QStringList added;
    for (const QString& column : numberColumns)
        added << QStringLiteral("ADD COLUMN %1 BIGINT").arg(quoted(column));
    return QStringLiteral("ALTER TABLE ") + quoted(table) + QLatin1Char(' ') +
           added.join(QStringLiteral(", "));
}

QString MariaDbDialect::nextAutoIncrement() const {
    return QStringLiteral("SELECT auto_increment FROM information_schema.tables WHERE ") +
           kOwnTable;
}

QString MariaDbDialect::setAutoIncrement(const QString& table, qint64 next) const {
    return QStringLiteral("ALTER TABLE %1 AUTO_INCREMENT = %2").arg(quoted(table)).arg(next);
}

QString MariaDbDialect::claimName() const {
    // By a hash, as MySQL takes no lock name longer than 64 characters.
    return QStringLiteral(
        "SELECT GET_LOCK(CONCAT('varnolt:', SHA1(CONCAT(DATABASE(), ':', :name))), 0)");
}

QString MariaDbDialect::createLike(const QString& table, const QString& source) const {
    return QStringLiteral("CREATE TABLE ") + quoted(table) + QStringLiteral(" LIKE ") +
           quoted(source);
}

QString MariaDbDialect::plainIndexes() const {
    return QStringLiteral("SELECT DISTINCT index_name FROM information_schema.statistics WHERE ") +
           kOwnTable + QStringLiteral(" AND non_unique = 1 ORDER BY 1");
}

QString MariaDbDialect::dropIndexes(const QString& table, const QStringList& indexes) const {
    QStringList dropped;
    for (const QString& index : indexes)
        dropped << QStringLiteral("DROP INDEX ") + quoted(index);
    return QStringLiteral("ALTER TABLE ") + quoted(table) + QLatin1Char(' ') +
           dropped.join(QStringLiteral(", "));
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
