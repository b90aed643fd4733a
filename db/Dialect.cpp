#include "Dialect.h"

namespace Db {

QString Dialect::quoted(const QString& name) {
    QString inner = name;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString Dialect::quotedList(const QStringList& names) {
    QStringList parts;
    parts.reserve(names.size());
    for (const QString& name : names)
        parts << quoted(name);
    return parts.join(QStringLiteral(", "));
}

QString Dialect::quotedList(const QString& alias, const QStringList& names) {
    QStringList parts;
    parts.reserve(names.size());
    for (const QString& name : names)
        parts << alias + QLatin1Char('.') + quoted(name);
    return parts.join(QStringLiteral(", "));
}

QString Dialect::judgingTerm(const QString& column, bool descending) {
    return quoted(column) +
           (descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" NULLS FIRST"));
}

QString Dialect::dropTable(const QString& table) const {
    return QStringLiteral("DROP TABLE ") + qualified(table);
}

QString Dialect::keyValue(const QString& column, const QString&) const {
    return quoted(column);
}

} // namespace Db
