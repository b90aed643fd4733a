#include "SqliteDialect.h"

#include <algorithm>

namespace Db {

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

} // namespace Db
