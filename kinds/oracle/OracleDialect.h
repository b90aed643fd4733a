#pragma once

#include "db/Dialect.h"

namespace Db {

// Oracle's statements, character for character as documented where a run
// replaces nothing. Every DDL statement commits on its own.
class OracleDialect final : public Dialect {
public:
    // The run's temporary objects; each name fits the 30 bytes older releases
    // allow.
    static const QString kSequence;
    static const QString kMarkerColumn;
    static const QString kMarkerIndex;
    static const QString kTemporaryTable;
    // Given to every session: the key reading of a large table then costs a
    // round trip per few thousand rows instead of per few dozen.
    static const QString kConnectOptions;

    QString tableList() const override;
    QString columnList() const override;
    QString columnTypes() const override;
    bool sameName(const QString& a, const QString& b) const override;
    QString keyValue(const QString& column, const QString& type) const override;
    QString gridPage(const QString& table, const QStringList& columns, const QString& key,
                     bool first) const override;
    QString gridKey() const override { return QStringLiteral("SELECT 'ROWID' FROM DUAL"); }

    QString probeColumns(const QString& table, const QStringList& columns) const;
    // The index a run that crashed may have left, dropped before the next run
    // makes it anew (its failure ignored).
    QString dropMarkerIndex() const;
    QString copyTable(const QString& newTable, const QString& source) const;
    // Statements that give every row of the copy a number of its own, and an
    // index that finds a row by it.
    QStringList numberRows(const QString& newTable) const;
    QString indexNumbers(const QString& newTable) const;
    // Every row's number and key values, in the order of `order` (terms
    // that may name the number as 1), or as the server reads them.
    QString readKeys(const QString& table, const QString& number, const QStringList& keyValues,
                     const QStringList& order = {}) const;
    // A row is found again by its `address`: the quoted marker column of a
    // copy, which is also its number, or ROWID in a table cleaned in place.
    //
    // An empty table of the copy's `columns`, then `numberColumns` typed as
    // the copy's numbers.
    QString createRemovedTable(const QString& table, const QString& copy,
                               const QStringList& columns, const QStringList& numberColumns,
                               const QString& address) const;
    // Copies from the copy into `table` the rows whose addresses are bound to
    // ":n0" .. ":n<count-1>", each with its number (bound to the ":r" of the
    // same index where the address is not the number) and the number bound
    // to the ":k" of the same index.
    QString insertRemovedRows(const QString& table, const QString& copy, const QStringList& columns,
                              int count, const QString& address) const;
    // The addresses and values of `columns` of the rows whose addresses are
    // bound to ":n0" .. ":n<count-1>".
    QString readKeptKeys(const QString& copy, const QStringList& columns, int count,
                         const QString& address) const;
    // Deletes the rows whose addresses are bound to ":n0" .. ":n<count-1>".
    QString deleteRows(const QString& newTable, int count, const QString& address) const;
    // Cleaning in place: the other tables whose FOREIGN KEYs refer to the
    // table bound to ":table_name", and its triggers that act on deletes.
    QString tablesReferringTo() const;
    QString deleteTriggers() const;
    static constexpr int kDeleteBatch = 1000;
    QString dropNumbers(const QString& newTable) const;
    QString renameTable(const QString& from, const QString& to) const;
};

} // namespace Db
