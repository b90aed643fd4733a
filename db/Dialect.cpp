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

QString Dialect::danglingReferences(const QString& copy, const QString& source,
                                    const QStringList& columns, const QStringList& parents) const {
    QStringList set, matched;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        set << QStringLiteral("c.%1 IS NOT NULL").arg(quoted(columns.at(i)));
        matched << QStringLiteral("p.%1 = c.%2").arg(parents.at(i), quoted(columns.at(i)));
    }
    const QString match = matched.join(QStringLiteral(" AND "));
    return QStringLiteral("SELECT count(*) FROM %1 AS c WHERE %2 AND NOT EXISTS (SELECT 1 FROM "
                          "%1 AS p WHERE %3) AND EXISTS (SELECT 1 FROM %4 AS p WHERE %3)")
        .arg(qualified(copy), set.join(QStringLiteral(" AND ")), match, qualified(source));
}

QString Dialect::restoreRows(const QString& table, const QString& removed,
                             const QStringList& columns, const QString& order) const {
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3 ORDER BY %4")
        .arg(qualified(table), quotedList(columns), qualified(removed), quoted(order));
}

QString Dialect::keyValue(const QString& column, const QString&) const {
    return quoted(column);
}

} // namespace Db
