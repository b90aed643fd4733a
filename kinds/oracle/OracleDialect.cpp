#include "OracleDialect.h"

namespace Db {

const QString OracleDialect::kSequence = QStringLiteral("TEMP_SEQ_CREATED_BY_QUORVEN");
const QString OracleDialect::kMarkerColumn = QStringLiteral("TEMP_COLUMN_CREATED_BY_QUORVEN");
const QString OracleDialect::kMarkerIndex = QStringLiteral("TEMP_INDEX_CREATED_BY_QUORVEN");
const QString OracleDialect::kTemporaryTable = QStringLiteral("TEMP_TABLE_CREATED_BY_QUORVEN");
// 10,000 rows of a key reading are a few hundred kilobytes; the memory limit
// keeps a round trip of wide preview rows from growing past 16 MB.
const QString OracleDialect::kConnectOptions =
    QStringLiteral("OCI_ATTR_PREFETCH_ROWS=10000;OCI_ATTR_PREFETCH_MEMORY=16777216");

QString OracleDialect::tableList() const {
    return QStringLiteral("select table_name from user_tables");
}

QString OracleDialect::columnList() const {
    return QStringLiteral("SELECT COLUMN_NAME from USER_TAB_COLUMNS where TABLE_NAME=:table_name "
                          "ORDER BY COLUMN_ID");
}

QString OracleDialect::columnTypes() const {
    return QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE from USER_TAB_COLUMNS where "
                          "TABLE_NAME=:table_name ORDER BY COLUMN_ID");
}

bool OracleDialect::sameName(const QString& a, const QString& b) const {
    return a == b;
}

// The OCI driver reads timestamps to the millisecond, and dates as local
// date-times, which do not exist inside a daylight-saving gap; both are read
// as their full text instead, the year with its sign (4712 BC is not AD 4712).
// Time zones are brought to UTC first, since Oracle compares such values by
// the instant they denote.
QString OracleDialect::keyValue(const QString& column, const QString& type) const {
    if (type == QStringLiteral("DATE"))
        return QStringLiteral("TO_CHAR(%1, 'SYYYY-MM-DD HH24:MI:SS')").arg(quoted(column));
    if (!type.startsWith(QStringLiteral("TIMESTAMP")))
        return quoted(column);
    const QString format = QStringLiteral("'SYYYY-MM-DD HH24:MI:SS.FF9'");
    if (type.endsWith(QStringLiteral(" WITH TIME ZONE")))
        return QStringLiteral("TO_CHAR(SYS_EXTRACT_UTC(%1), %2)").arg(quoted(column), format);
    return QStringLiteral("TO_CHAR(%1, %2)").arg(quoted(column), format);
}

// Rows in ROWID order, each led by its ROWID as text, the page cut off by
// ROWNUM around the ordered rows, as every release since 9i understands.
QString OracleDialect::gridPage(const QString& table, const QStringList& columns, const QString&,
                                bool first) const {
    return QStringLiteral("SELECT * FROM (SELECT ROWIDTOCHAR(ROWID), ") + quotedList(columns) +
           QStringLiteral(" FROM ") + quoted(table) +
           (first ? QString() : QStringLiteral(" WHERE ROWID > CHARTOROWID(:after)")) +
           QStringLiteral(" ORDER BY ROWID) WHERE ROWNUM <= %1").arg(kGridPageRows);
}

QString OracleDialect::probeColumns(const QString& table, const QStringList& columns) const {
    return QStringLiteral("SELECT ") + quotedList(columns) + QStringLiteral(" FROM ") +
           quoted(table) + QStringLiteral(" WHERE 1 = 0");
}

QString OracleDialect::dropMarkerIndex() const {
    return QStringLiteral("DROP INDEX ") + kMarkerIndex;
}

QString OracleDialect::copyTable(const QString& newTable, const QString& source) const {
    return QStringLiteral("CREATE TABLE ") + quoted(newTable) +
           QStringLiteral(" AS SELECT * from ") + quoted(source);
}

QStringList OracleDialect::numberRows(const QString& newTable) const {
    return {QStringLiteral("CREATE SEQUENCE ") + kSequence + QStringLiteral(" START WITH 1"),
            QStringLiteral("ALTER TABLE ") + quoted(newTable) + QStringLiteral(" ADD ") +
                quoted(kMarkerColumn) + QStringLiteral(" INT"),
            QStringLiteral("UPDATE ") + quoted(newTable) + QStringLiteral(" SET ") +
                quoted(kMarkerColumn) + QStringLiteral(" = ") + kSequence +
                QStringLiteral(".NEXTVAL")};
}

QString OracleDialect::indexNumbers(const QString& newTable) const {
    return QStringLiteral("CREATE INDEX ") + kMarkerIndex + QStringLiteral(" ON ") +
           quoted(newTable) + QStringLiteral(" (") + quoted(kMarkerColumn) + QLatin1Char(')');
}

QString OracleDialect::readKeys(const QString& table, const QString& number,
                                const QStringList& keyValues, const QStringList& order) const {
    const QString read = QStringLiteral("SELECT ") + number + QStringLiteral(", ") +
                         keyValues.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
                         quoted(table);
    return order.isEmpty() ? read : read + QStringLiteral(" ORDER BY ") + order.join(", ");
}

namespace {

// " WHERE <address> IN (:n0, ..., :n<count-1>)"
QString numberedIn(const QString& address, int count) {
    QStringList placeholders;
    placeholders.reserve(count);
    for (int i = 0; i < count; ++i)
        placeholders << QStringLiteral(":n%1").arg(i);
    return QStringLiteral(" WHERE ") + address + QStringLiteral(" IN (") +
           placeholders.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// "CASE <address> WHEN :n0 THEN :<value>0 ... END"
QString bound(const QString& address, const QString& value, int count) {
    QString chosen = QStringLiteral("CASE ") + address;
    for (int i = 0; i < count; ++i)
        chosen += QStringLiteral(" WHEN :n%1 THEN :%2%1").arg(QString::number(i), value);
    return chosen + QStringLiteral(" END");
}

bool isMarker(const QString& address) {
    return address == Dialect::quoted(OracleDialect::kMarkerColumn);
}

} // namespace

QString OracleDialect::createRemovedTable(const QString& table, const QString& copy,
                                          const QStringList& columns,
                                          const QStringList& numberColumns,
                                          const QString& address) const {
    const QString type = isMarker(address) ? address : QStringLiteral("CAST(NULL AS NUMBER(19))");
    QStringList numbers;
    for (const QString& column : numberColumns)
        numbers << type + QStringLiteral(" AS ") + quoted(column);
    return QStringLiteral("CREATE TABLE ") + quoted(table) + QStringLiteral(" AS SELECT ") +
           quotedList(columns) + QStringLiteral(", ") + numbers.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM ") + quoted(copy) + QStringLiteral(" WHERE 1 = 0");
}

QString OracleDialect::insertRemovedRows(const QString& table, const QString& copy,
                                         const QStringList& columns, int count,
                                         const QString& address) const {
    const QString number = isMarker(address) ? address : bound(address, QStringLiteral("r"), count);
    return QStringLiteral("INSERT INTO ") + quoted(table) + QStringLiteral(" SELECT ") +
           quotedList(columns) + QStringLiteral(", ") + number + QStringLiteral(", ") +
           bound(address, QStringLiteral("k"), count) + QStringLiteral(" FROM ") + quoted(copy) +
           numberedIn(address, count);
}

QString OracleDialect::readKeptKeys(const QString& copy, const QStringList& columns, int count,
                                    const QString& address) const {
    return QStringLiteral("SELECT ") + address + QStringLiteral(", ") + quotedList(columns) +
           QStringLiteral(" FROM ") + quoted(copy) + numberedIn(address, count);
}

QString OracleDialect::deleteRows(const QString& newTable, int count,
                                  const QString& address) const {
    return QStringLiteral("DELETE FROM ") + quoted(newTable) + numberedIn(address, count);
}

QString OracleDialect::tablesReferringTo() const {
    return QStringLiteral("SELECT DISTINCT c.TABLE_NAME FROM USER_CONSTRAINTS c JOIN "
                          "USER_CONSTRAINTS p ON p.CONSTRAINT_NAME = c.R_CONSTRAINT_NAME WHERE "
                          "c.CONSTRAINT_TYPE = 'R' AND p.TABLE_NAME = :table_name AND "
                          "c.TABLE_NAME <> p.TABLE_NAME ORDER BY 1");
}

QString OracleDialect::deleteTriggers() const {
    return QStringLiteral("SELECT TRIGGER_NAME FROM USER_TRIGGERS WHERE TABLE_NAME = :table_name "
                          "AND TRIGGERING_EVENT LIKE '%DELETE%' ORDER BY 1");
}

QString OracleDialect::dropNumbers(const QString& newTable) const {
    return QStringLiteral("ALTER TABLE ") + quoted(newTable) + QStringLiteral(" DROP COLUMN ") +
           quoted(kMarkerColumn);
}

QString OracleDialect::renameTable(const QString& from, const QString& to) const {
    return QStringLiteral("ALTER TABLE ") + quoted(from) + QStringLiteral(" RENAME TO ") +
           quoted(to);
}

} // namespace Db
