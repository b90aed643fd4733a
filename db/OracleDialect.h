#pragma once

#include "Dialect.h"

namespace Db {

// Oracle's statements, character for character as documented. Every DDL
// statement commits on its own.
class OracleDialect final : public Dialect {
public:
    static const QString kSequence;
    static const QString kMarkerColumn;

    QString tableList() const override;
    QString columnList() const override;
    QString columnTypes() const override;
    bool sameName(const QString& a, const QString& b) const override;
    QStringList leftSequences() const override { return {kSequence}; }
    QString keyValue(const QString& column, const QString& type) const override;
    QStringList numberRows(const QString& newTable) const override;
    QString rowNumber(const QStringList& columns) const override;
    QString sourceRowNumber(const QStringList&) const override { return QStringLiteral("ROWNUM"); }
    int deleteBatchSize() const override { return 1000; }
    QStringList dropNumbers(const QString& newTable) const override;
    bool changesInOneTransaction() const override { return false; }
    QString beginChange() const override { return {}; }
};

} // namespace Db
