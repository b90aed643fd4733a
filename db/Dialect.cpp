#include "Dialect.h"

namespace Db {

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

QString Dialect::readKeys(const QString& table, const QString& number, const QStringList& keyValues,
                          bool inOrder) const {
    const QString read = QStringLiteral("SELECT ") + number + QStringLiteral(", ") +
                         keyValues.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
                         quoted(table);
    return inOrder ? read + QStringLiteral(" ORDER BY 1") : read;
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

} // namespace Db
