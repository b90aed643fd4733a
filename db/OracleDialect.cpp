#include "OracleDialect.h"

namespace Db {

const QString OracleDialect::kSequence = QStringLiteral("TEMP_SEQ_CREATED_BY_QUORVEN");
const QString OracleDialect::kMarkerColumn = QStringLiteral("TEMP_COLUMN_CREATED_BY_QUORVEN");

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

// The OCI driver reads timestamps to the millisecond; Oracle keeps up to the
// nanosecond, so two timestamps a microsecond apart would look equal. Their
// full text is read instead, time zones brought to UTC first, since Oracle
// compares such values by the instant they denote.
QString OracleDialect::keyValue(const QString& column, const QString& type) const {
    if (!type.startsWith(QStringLiteral("TIMESTAMP")))
        return quoted(column);
    const QString format = QStringLiteral("'YYYY-MM-DD HH24:MI:SS.FF9'");
    if (type.endsWith(QStringLiteral(" WITH TIME ZONE")))
        return QStringLiteral("TO_CHAR(SYS_EXTRACT_UTC(%1), %2)").arg(quoted(column), format);
    return QStringLiteral("TO_CHAR(%1, %2)").arg(quoted(column), format);
}

QStringList OracleDialect::numberRows(const QString& newTable) const {
    return {QStringLiteral("CREATE SEQUENCE ") + kSequence + QStringLiteral(" START WITH 1"),
            QStringLiteral("ALTER TABLE ") + quoted(newTable) + QStringLiteral(" ADD ") +
                quoted(kMarkerColumn) + QStringLiteral(" INT"),
            QStringLiteral("UPDATE ") + quoted(newTable) + QStringLiteral(" SET ") +
                quoted(kMarkerColumn) + QStringLiteral(" = ") + kSequence +
                QStringLiteral(".NEXTVAL")};
}

QString OracleDialect::rowNumber(const QStringList&) const {
    return quoted(kMarkerColumn);
}

QStringList OracleDialect::dropNumbers(const QString& newTable) const {
    return {QStringLiteral("ALTER TABLE ") + quoted(newTable) + QStringLiteral(" DROP COLUMN ") +
            quoted(kMarkerColumn)};
}

} // namespace Db
