#pragma once

#include "db/Dialect.h"

namespace Db {

// MariaDB's (and MySQL's) statements. Every session reads double quotes as
// the quotes of a name (ANSI_QUOTES), as the other kinds do. Texts compare
// by their bytes, whatever the column's collation, which by default would
// take "Ann" and "ann " for the same.
class MariaDbDialect final : public Dialect {
public:
    static constexpr int kLongestName = 64;

    QString tableList() const override;
    QString columnList() const override;
    QString columnTypes() const override;
    QString writtenColumns() const override;
    bool sameName(const QString& a, const QString& b) const override { return a == b; }
    int longestName() const override { return kLongestName; }
    QString gridPage(const QString& table, const QStringList& columns, const QString& key,
                     bool first) const override;
    QString gridKey() const override;

    // What every session says first.
    QStringList sessionSettings() const;
    // The kind of the relation named ":table_name" ("BASE TABLE", "VIEW"...),
    // no row where there is none.
    QString relationKind() const;
    // The columns of the primary key of ":table_name", in key order.
    QString primaryKey() const;
    // The collation whose case mapping folds letter case, the newest Unicode
    // the server has: 14 (MariaDB from 10.10), 9 (MySQL 8), else 5.2.
    QString caseCollation() const;
    // A value as the run groups it: a text by its bytes, its NULL as its
    // empty text, its letter case folded (by `collation`'s mapping) and white
    // space at its ends taken off where asked; other values by value.
    static QString groupKey(const QString& column, const QString& type, bool ignoreCase = false,
                            bool trim = false, const QString& collation = {});
    QString rowCount(const QString& table) const;
    // The temporary table `table`: each row of `source` numbered (varnolt_place)
    // in the order a full read of it returns them, then its `columns`. A
    // table without a primary key has no other order, and a window's
    // numbering does not keep that one.
    QString numberedRows(const QString& table, const QString& source,
                         const QStringList& columns) const;
    // Every row of `source` judged: its number (varnolt_n, its place in
    // `order`), the number of the row
    // that stays in its group of `keys` (varnolt_kept: the first by
    // `judging`, ties by number, rising or `falling`), the kept row's values
    // of `shown` (varnolt_v0...), and its own `columns`.
    QString judgedRows(const QString& source, const QStringList& columns, const QStringList& keys,
                       const QStringList& order, const QStringList& judging, bool falling,
                       const QStringList& shown) const;
    // Of `judged` rows: the removed ones, by kept row and number, as
    // RemovedGroups reads them (kept, number, the kept row's values).
    QString removedRows(const QString& judged, int shown) const;
    // Writes into `table` the first row of each group of `keys` by `order`
    // (a primary key, or the place in a numbered read), in that order: the
    // plain run, without the numbering and the kept row's number that
    // judging needs.
    QString insertFirstRows(const QString& table, const QString& source, const QStringList& columns,
                            const QStringList& keys, const QStringList& order) const;
    // Writes the rows of `judged` that stay into `table`, in their order.
    QString insertKeptRows(const QString& table, const QString& judged,
                           const QStringList& columns) const;
    // Writes the removed rows of `judged` into `table`, each with its number
    // and its kept row's in `numberColumns`.
    QString insertRemovedRows(const QString& table, const QString& judged,
                              const QStringList& columns, const QStringList& numberColumns) const;
    // The FOREIGN KEYs of the table bound to ":table_name", a row for each
    // column: the constraint, the column, the parent's schema, table and
    // column, and what an update and a delete of the parent do.
    QString foreignKeys() const;
    QString addForeignKey(const QString& table, const QString& name, const QStringList& columns,
                          const QString& parent, const QStringList& parentColumns,
                          const QString& onUpdate, const QString& onDelete) const;
    // Cleaning in place. The other tables whose FOREIGN KEYs refer to the
    // table bound to ":table_name", and its triggers that act on deletes.
    QString tablesReferringTo() const;
    QString deleteTriggers() const;
    // The engine of ":table_name" where it cannot roll a change back (as
    // MyISAM and Aria cannot), no row where it can.
    QString engineWithoutTransactions() const;
    // Locks every row of `table` for this transaction: writers wait, readers
    // read on.
    QString lockRows(const QString& table) const;
    // Deletes from `source` the rows that `judged` (a table) removes, found
    // by the quoted columns of `primaryKey`.
    QString deleteRemovedRows(const QString& source, const QString& judged,
                              const QStringList& primaryKey) const;
    QString addNumberColumns(const QString& table, const QStringList& numberColumns) const;
    // The next value the source's AUTO_INCREMENT gives, NULL where it has none.
    QString nextAutoIncrement() const;
    QString setAutoIncrement(const QString& table, qint64 next) const;
    // Holds the name bound to ":name" for this session, 1 where it could.
    QString claimName() const;
    QString createLike(const QString& table, const QString& source) const;
    // The indexes of ":table_name" that no key needs: neither the primary
    // key nor one that keeps values unique.
    QString plainIndexes() const;
    QString dropIndexes(const QString& table, const QStringList& indexes) const;
    // Puts `building` in the place of `table` and `table` under `old`, in one
    // step that readers never see half done.
    QString swap(const QString& table, const QString& building, const QString& old) const;
    QString rename(const QString& table, const QString& newName) const;
    QString connectionId() const;
    QString killQuery(qint64 connection) const;
};

} // namespace Db
