#pragma once

#include "db/Dialect.h"

namespace Db {

// PostgreSQL's statements: the tables the session's search path shows, and
// the copy made on the server in one transaction that sees one snapshot. A
// run's dialect names every table of the user's with the schema the source
// was found in, since the run's own list lives in the temporary schema,
// which the server searches first.
class PostgresDialect final : public Dialect {
public:
    explicit PostgresDialect(QString schema = {}) : m_schema(std::move(schema)) {}

    // The longest name the server keeps whole: it cuts longer ones.
    static constexpr int kLongestName = 63;

    QString tableList() const override;
    QString columnList() const override;
    QString columnTypes() const override;
    bool sameName(const QString& a, const QString& b) const override { return a == b; }
    QString gridPage(const QString& table, const QStringList& columns, const QString& key,
                     bool first) const override;
    QString gridKey() const override;
    QString qualified(const QString& name) const override;
    int longestName() const override { return kLongestName; }

    // Everything the run reads in its snapshot sees one moment of the table.
    QString beginSnapshot() const;
    // Where the name bound to ":table_name" leads as a query finds it: the
    // schema, the kind ("r" for a table, "p" for a partitioned one, "v" for
    // a view...) and whether rows of other tables (partitions, inheritance
    // children) are read with it.
    QString visibleRelation() const;
    // The kind of the relation named ":table_name" in the schema ":schema".
    QString relationKind() const;
    // The columns of the primary key of ":schema".":table_name", in key
    // order, with their types.
    QString primaryKey() const;
    // The columns a row's values can be written into: all but generated
    // ones, in column order, of ":schema".":table_name".
    QString writableColumns() const;
    // A collation whose letter case follows Unicode, or no row.
    QString unicodeCollation() const;
    QString rowCount(const QString& table) const;
    // An empty table with the source's columns, types, defaults, NOT NULL,
    // CHECK, keys and identity.
    QString createCopy(const QString& newTable, const QString& source) const;
    // Writes into `newTable` the first row of each group of `keys`, the first
    // being the lowest by `order`, in that order.
    // A single column of `order` whose type has min() is found by it, as
    // the best hand-written statement does.
    QString insertFirstRows(const QString& newTable, const QString& source,
                            const QStringList& columns, const QStringList& keys,
                            const QStringList& order, bool byMin) const;
    // The number of groups of `keys`, and of those with more than one row.
    QString groupCount(const QString& source, const QStringList& keys) const;
    // The first `limit` groups that have repeats, by the number of the row
    // that stays: that number, the numbers of the rows that repeat it (as an
    // array's text), then the kept row's values of `columns`. A row's number
    // is its place in `order`, counted from 1.
    QString firstGroups(const QString& source, const QStringList& keys, const QStringList& columns,
                        const QStringList& order, int limit) const;
    // A value as the run groups it: a text by its bytes, its NULL as its
    // empty text; its letter case folded and white space at its ends taken
    // off where asked, by the rules of `collation` (a collation whose case
    // follows Unicode; the column's own where empty).
    static QString groupKey(const QString& column, const QString& type, bool ignoreCase = false,
                            bool trim = false, const QString& collation = {});

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

    // Cleaning in place. The other tables whose FOREIGN KEYs refer to
    // ":schema".":table_name", and its own triggers that act on deletes.
    QString tablesReferringTo() const;
    QString deleteTriggers() const;
    // Keeps writers of `table` out until the commit while readers go on; the
    // first statement of the transaction, so that its snapshot follows it.
    QString lockAgainstWriters(const QString& table) const;
    // Deletes from `source` the rows of the removed list.
    QString deleteRemovedRows(const QString& source) const;
    // Writes the rows of `removed` back into `table` by their `order`, every
    // value of `columns` as it was, identity columns included.
    QString restoreRows(const QString& table, const QString& removed, const QStringList& columns,
                        const QString& order) const;

    // Making the copy stand on its own. The FOREIGN KEYs of the source
    // (":schema".":table_name"), a row for each column: the constraint, its
    // definition, whether it refers to the source itself, the name its
    // parent goes by, the column and the parent's column.
    QString foreignKeys() const;
    // The source's columns that draw from a sequence: the column, the
    // sequence, whether it is an identity column, the type of the column.
    QString sequencedColumns() const;
    // Whether a relation of the schema has the name bound to ":table_name".
    QString nameTaken() const;
    // The indexes of `table` that no constraint makes.
    QString ownIndexes(const QString& table) const;
    // The last value `sequence` (a name as the server prints it) gave, NULL
    // before its first; the same for the largest value of `column` in `table`.
    QString lastValue(const QString& sequence, const QString& table, const QString& column) const;
    // The sequence of `table`'s `column`, as the server prints it.
    QString columnSequence(const QString& table, const QString& column) const;
    // A sequence of `type` for `table`'s `column`, which it draws from.
    QStringList ownSequence(const QString& sequence, const QString& table, const QString& column,
                            const QString& type) const;
    // The sequence (as printed) goes on after `value` (bound to :value).
    QString setValue(const QString& sequence) const;
    QString addConstraint(const QString& table, const QString& definition) const;
    // Holds the name bound to ":name" for this transaction, or returns false
    // where another one holds it.
    QString claimName() const;
    // The names of `table`'s own indexes, sequences and constraints that
    // start with `prefix`: the name, and "i", "S" or "c" for what it names.
    QString derivedNames(const QString& table, const QString& prefix) const;
    QString rename(const QString& table, const QString& kind, const QString& name,
                   const QString& newName) const;
    QString renameTable(const QString& table, const QString& newName) const;
    // A text as a string literal, whatever the server's string settings.
    static QString literal(const QString& text);

private:
    QString m_schema;
};

} // namespace Db
