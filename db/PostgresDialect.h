#pragma once

#include "Dialect.h"

namespace Db {

// PostgreSQL's statements: the tables of the session's current schema, and
// the copy made on the server in one transaction that sees one snapshot.
class PostgresDialect final : public Dialect {
public:
    QString tableList() const override;
    QString columnList() const override;
    QString columnTypes() const override;
    bool sameName(const QString& a, const QString& b) const override { return a == b; }
    QString gridPage(const QString& table, const QStringList& columns, const QString& key,
                     bool first) const override;
    QString gridKey() const override;

    // Everything the run reads in its snapshot sees one moment of the table.
    QString beginSnapshot() const;
    // "r" for a table, "p" for a partitioned one, "v" for a view... of the
    // current schema; the name is bound to ":table_name".
    QString relationKind() const;
    // The columns of the source's primary key, in key order; the name is
    // bound to ":table_name".
    QString primaryKey() const;
    // The columns a row's values can be written into: all but generated
    // ones, in column order; the name is bound to ":table_name".
    QString writableColumns() const;
    QString rowCount(const QString& table) const;
    // An empty table with the source's columns, types, defaults, NOT NULL,
    // CHECK, keys and identity.
    QString createCopy(const QString& newTable, const QString& source) const;
    // Writes into `newTable` the first row of each group of `keys`, the first
    // being the lowest by `order`, in that order.
    QString insertFirstRows(const QString& newTable, const QString& source,
                            const QStringList& columns, const QStringList& keys,
                            const QStringList& order) const;
    // The number of groups of `keys`.
    QString groupCount(const QString& source, const QStringList& keys) const;
    // The first `limit` groups that have repeats, by the number of the row
    // that stays: that number, the numbers of the rows that repeat it (as an
    // array's text), then the key values. A row's number is its place in
    // `order`, counted from 1.
    QString firstGroups(const QString& source, const QStringList& keys, const QStringList& order,
                        int limit) const;
    // A value as the run groups it: a text's NULL is its empty text.
    static QString groupKey(const QString& column, const QString& type);
    // The same, a text's letter case folded and white space at its ends
    // taken off where asked.
    static QString foldedKey(const QString& column, const QString& type, bool ignoreCase,
                             bool trim);

    // Judging the rows by other rules. A temporary table, dropped at the
    // commit, of every row kept in place of another: its number in `order`
    // (n) and address (at), and the number and address of the row kept
    // (kept, kept_at), the kept row being the first of its group of `keys`
    // by `judging` (terms on the quoted columns `judged`), ties by number,
    // rising or falling.
    QString listRemoved(const QString& source, const QStringList& keys, const QStringList& order,
                        const QStringList& judged, const QStringList& judging, bool falling) const;
    QString countRemoved() const;
    // Copies the rows not in the removed list, in `order`.
    QString insertUnremovedRows(const QString& newTable, const QString& source,
                                const QStringList& columns, const QStringList& order) const;
    QString addNumberColumn(const QString& table, const QString& column) const;
    // Copies the removed rows with their number and the kept row's number.
    QString insertRemovedRows(const QString& table, const QString& source,
                              const QStringList& columns, const QStringList& numberColumns) const;
    // The kept row's number, the removed row's number and the kept row's
    // values of `columns`, by kept row and then removed row.
    QString readRemovedGroups(const QString& source, const QStringList& columns) const;
};

} // namespace Db
