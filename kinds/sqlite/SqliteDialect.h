#pragma once

#include "db/Dialect.h"

namespace Db {

// SQLite statements with the same effect as Oracle's.
class SqliteDialect final : public Dialect {
public:
    QString tableList() const override;
    QString columnList() const override;
    QString columnTypes() const override;
    bool sameName(const QString& a, const QString& b) const override;
    QString gridPage(const QString& table, const QStringList& columns, const QString& key,
                     bool first) const override;
    QString gridKey() const override;
    QString qualified(const QString& name) const override;

    // Taking the write lock at once means a second run on the same file waits
    // for the first instead of failing halfway.
    QString beginChange() const { return QStringLiteral("BEGIN IMMEDIATE"); }
    QString commitChange() const { return QStringLiteral("COMMIT"); }
    QString rollbackChange() const { return QStringLiteral("ROLLBACK"); }

    // Every column of a table, generated and hidden ones included, with its
    // declared type and how it is hidden (0 plain, 1 hidden column of a
    // virtual table, 2 and 3 generated); the table is bound to ?1.
    QString columnDetails() const;
    // What kind of object a name is ("table", "virtual", "shadow", "view",
    // "index", "trigger"; no row when nothing has the name), whether it is a
    // table without rowid, and a table's own CREATE TABLE statement as the
    // database keeps it; the name is bound to ?1.
    QString objectKind() const;
    // The columns of a table's primary key in the table's own order, with
    // their direction and collation; the table is bound to ?1.
    QString primaryKeyOrder() const;
    // One column of a table's own order, with its collation and direction.
    QString keyOrder(const QString& column, const QString& collation, bool descending) const;
    // The name a statement gives a row's rowid, or empty when columns of
    // these names take all three.
    static QString rowidName(const QStringList& columns);

    // How many rows a table has: SQLite counts a table's pages without
    // reading its rows, a few milliseconds for a million.
    QString rowCount(const QString& table) const;
    // The lowest and the highest rowid, NULL for an empty table.
    QString rowidRange(const QString& table, const QString& rowid) const;
    // The CREATE TABLE statement `definition` (as the database keeps it) with
    // the table's name changed to `newTable`; empty when the text does not
    // read as such a statement.
    // Where the table names itself, as a FOREIGN KEY's parent (with
    // `references`) or a column's qualifier, it names the new table too.
    static QString renamedDefinition(const QString& definition, const QString& source,
                                     const QString& newTable, bool references);
    // A plain table of the given columns with the types the virtual table
    // reports for them (none, where it reports none, so that every value is
    // kept as it is given): the copy of a virtual table.
    QString createTable(const QString& newTable, const QList<Column>& columns) const;
    // The key values of the row whose rowid is bound to ?1.
    QString readRow(const QString& table, const QString& rowid, const QStringList& keyValues) const;
    // The key values of the row whose place in the table's `order`, counted
    // from 1, is bound to ?1.
    QString readRowAt(const QString& table, const QString& order,
                      const QStringList& keyValues) const;
    // Calls the function `judge` with every row's number and key values, in
    // the given order of the table, read from the table itself.
    QString judgeRows(const QString& source, const QString& judge, const QString& number,
                      const QStringList& keyValues, const QString& order) const;
    // The same rows' numbers and key values as results.
    QString readKeys(const QString& source, const QString& number, const QStringList& keyValues,
                     const QString& order) const;
    // Copies into `newTable` the rows of `source`, read in the table's own
    // order, for which the function `kept`, called with the row's number, is
    // true.
    QString insertKeptRows(const QString& newTable, const QString& source,
                           const QStringList& columns, const QString& kept, const QString& number,
                           const QString& order) const;
    // Judging the rows by other rules than first come, first kept. The rows
    // are read through the numbered source: every column, after the row's
    // number as varnolt_row (its rowid, or its place in the table's order).
    QString numberedRows(const QString& source, const QString& rowid, const QString& order) const;
    // Every row's number and key values, in the order of `terms` (each a
    // quoted column and its direction), ties by number, rising or falling.
    QString readJudgedKeys(const QString& numbered, const QStringList& keyValues,
                           const QStringList& terms, bool falling) const;
    // The removed rows, by number, each with the number of the row kept in
    // its place; a temporary table, which no other connection sees.
    QString createRemovedList() const;
    QString addToRemovedList() const;
    // The removed rows' numbers, rising.
    QString readRemovedList() const;
    // Copies the rows, in the table's own order, for which the function
    // `unremoved`, called with the row's number, is true.
    QString insertUnremovedRows(const QString& newTable, const QString& numbered,
                                const QStringList& columns, const QString& unremoved) const;
    // Copies the removed rows with their number and the kept row's number.
    QString insertRemovedRows(const QString& table, const QString& numbered,
                              const QStringList& columns, const QStringList& numberColumns) const;
    // The kept row, the removed row and the kept row's values of `columns`,
    // by kept row and then removed row.
    QString readRemovedGroups(const QString& numbered, const QStringList& columns) const;
    QString addColumn(const QString& table, const QString& column) const;

    // Making the copy stand on its own. The FOREIGN KEYs of the table bound
    // to ?1 that refer to itself: their number, and each column with the
    // parent column it refers to (NULL for the primary key).
    QString selfReferences() const;
    // Cleaning in place. The other tables whose FOREIGN KEYs refer to the
    // table bound to ?1, and the triggers that act on its deletes.
    QString tablesReferringTo() const;
    QString deleteTriggers() const;
    // Deletes from `table` the rows `removed` holds: by rowid (its
    // VARNOLT_ROW), or for a table without one, by `primaryKey`.
    QString deleteRemovedRows(const QString& table, const QString& removed, const QString& rowid,
                              const QStringList& primaryKey) const;
    // Puts the rows `removed` holds back into `table`: at their rowid (its
    // VARNOLT_ROW), where the table has one; fails where a place is taken.
    QString restoreRows(const QString& table, const QString& removed, const QStringList& columns,
                        const QString& rowid) const;
    // The primary key's columns of the table bound to ?1, in key order.
    QString primaryKeyColumns() const;
    // Whether the file counts AUTOINCREMENT rowids, and the copy's counter
    // (?1) set to the source's (?2).
    QString hasCounters() const;
    QStringList copyCounter() const;
    // The indexes of the table bound to ?1 that its constraints do not make,
    // each as its CREATE INDEX statement.
    QString ownIndexes() const;
    // Whether any object of the file has the name bound to ?1.
    QString nameTaken() const;
    // A CREATE INDEX statement made an index of `newTable` named `newIndex`;
    // empty where it does not read as one.
    static QString renamedIndex(const QString& definition, const QString& newIndex,
                                const QString& newTable);
    // Lets SQLite sort with a helper thread.
    QString sortInBackground() const { return QStringLiteral("PRAGMA threads = 2"); }
    // For a run that reads its tables from end to end and writes each new one
    // in order, and its TEMP list once, to be read back by sorted passes: a
    // larger cache of pages would only hold memory.
    QStringList sparingCaches() const {
        return {QStringLiteral("PRAGMA main.cache_size = -512"),
                QStringLiteral("PRAGMA temp.cache_size = 64")};
    }
};

} // namespace Db
