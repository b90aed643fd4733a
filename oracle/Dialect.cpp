#include "Dialect.h"

namespace Oracle {

QString Dialect::quoted(const QString& name) {
    QString inner = name;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString Dialect::preview(const QString& table) const {
    return QStringLiteral("SELECT * FROM ") + quoted(table);
}

QString Dialect::dropTable(const QString& table) const {
    return QStringLiteral("DROP TABLE ") + quoted(table);
}

QString Dialect::copyTable(const QString& newTable, const QString& source) const {
    return QStringLiteral("CREATE TABLE ") + quoted(newTable) +
           QStringLiteral(" AS SELECT * from ") + quoted(source);
}

namespace {
QString quotedList(const QStringList& names) {
    QStringList parts;
    parts.reserve(names.size());
    for (const QString& name : names)
        parts << Dialect::quoted(name);
    return parts.join(QStringLiteral(", "));
}
} // namespace

QString Dialect::probeColumns(const QString& table, const QStringList& columns) const {
    return QStringLiteral("SELECT ") + quotedList(columns) + QStringLiteral(" FROM ") +
           quoted(table) + QStringLiteral(" WHERE 1 = 0");
}

QString Dialect::keyValue(const QString& column, const QString&) const {
    return quoted(column);
}

QString Dialect::readKeys(const QString& newTable, const QString& number,
                          const QStringList& keyValues) const {
    return QStringLiteral("SELECT ") + number + QStringLiteral(", ") +
           keyValues.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + quoted(newTable);
}

QString Dialect::deleteRows(const QString& newTable, const QString& number, int count) const {
    QStringList placeholders;
    placeholders.reserve(count);
    for (int i = 0; i < count; ++i)
        placeholders << QStringLiteral(":n%1").arg(i);
    return QStringLiteral("DELETE FROM ") + quoted(newTable) + QStringLiteral(" WHERE ") + number +
           QStringLiteral(" IN (") + placeholders.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString Dialect::result(const QString& newTable) const {
    return QStringLiteral("SELECT * FROM ") + quoted(newTable);
}

std::unique_ptr<Dialect> Dialect::create(Kind kind) {
    if (kind == Kind::Oracle)
        return std::make_unique<OracleDialect>();
    return std::make_unique<SqliteDialect>();
}

const QString OracleDialect::kSequence = QStringLiteral("TEMP_SEQ_CREATED_BY_QUORVEN");
const QString OracleDialect::kMarkerColumn = QStringLiteral("TEMP_COLUMN_CREATED_BY_QUORVEN");

QString OracleDialect::tableList() const {
    return QStringLiteral("select table_name from user_tables");
}

QString OracleDialect::columnList() const {
    return QStringLiteral("SELECT COLUMN_NAME from USER_TAB_COLUMNS where TABLE_NAME=:table_name "
                          "ORDER BY COLUMN_ID");
}

bool OracleDialect::sameName(const QString& a, const QString& b) const {
    return a == b;
}

QString OracleDialect::columnTypes() const {
    return QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE from USER_TAB_COLUMNS where "
                          "TABLE_NAME=:table_name ORDER BY COLUMN_ID");
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

QString OracleDialect::dropSequence() const {
    return QStringLiteral("DROP SEQUENCE ") + kSequence;
}

QString SqliteDialect::tableList() const {
    return QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                          "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
}

QString SqliteDialect::columnList() const {
    return QStringLiteral("SELECT name FROM pragma_table_info(:table_name) ORDER BY cid");
}

QString SqliteDialect::columnTypes() const {
    return QStringLiteral("SELECT name, type FROM pragma_table_info(:table_name) ORDER BY cid");
}

bool SqliteDialect::sameName(const QString& a, const QString& b) const {
    // SQLite folds only the ASCII letters when it compares identifiers.
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QChar x = a.at(i), y = b.at(i);
        if (x == y)
            continue;
        if (x.unicode() >= 128 || y.unicode() >= 128 || x.toLower() != y.toLower())
            return false;
    }
    return true;
}

// A copy made by CREATE TABLE ... AS SELECT is an ordinary rowid table whose
// rowids follow the order in which its rows were inserted, so the rowid is the
// row's number and no marker column is needed.
QStringList SqliteDialect::numberRows(const QString&) const {
    return {};
}

QString SqliteDialect::rowNumber(const QStringList& columns) const {
    for (const QString& alias :
         {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")}) {
        const bool shadowed = std::any_of(columns.begin(), columns.end(), [&](const QString& c) {
            return c.compare(alias, Qt::CaseInsensitive) == 0;
        });
        if (!shadowed)
            return alias;
    }
    return {};
}

QStringList SqliteDialect::dropNumbers(const QString&) const {
    return {};
}

} // namespace Oracle
