#pragma once

#include "Dialect.h"

namespace Db {

// SQLite statements with the same effect as Oracle's. A whole run is one
// transaction.
class SqliteDialect final : public Dialect {
public:
    QString tableList() const override;
    QString columnList() const override;
    QString columnTypes() const override;
    bool sameName(const QString& a, const QString& b) const override;
    QStringList leftSequences() const override { return {}; }
    QStringList numberRows(const QString& newTable) const override;
    QString rowNumber(const QStringList& columns) const override;
    QString sourceRowNumber(const QStringList& columns) const override {
        return rowNumber(columns);
    }
    int deleteBatchSize() const override { return 500; }
    QStringList dropNumbers(const QString& newTable) const override;
    bool changesInOneTransaction() const override { return true; }
    // Taking the write lock at once means a second run on the same file waits
    // for the first instead of failing halfway.
    QString beginChange() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
};

} // namespace Db
