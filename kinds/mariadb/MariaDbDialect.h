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
    // A value as the run groups it: a text by its bytes, its NULL as its
    // empty text; other values by value.
    static QString groupKey(const QString& column, const QString& type);
    QString rowCount(const QString& table) const;
    // The number of groups of `keys`, and of those with more than one row.
    QString groupCount(const QString& source, const QStringList& keys) const;
    // The first `limit` groups that have repeats, by the number of the row
    // that stays: that number, the numbers of the rows that repeat it (comma
    // separated), then the kept row's values of `columns`. A row's number is
    // its place in `order`, counted from 1.
    QString firstGroups(const QString& source, const QStringList& keys, const QStringList& columns,
                        const QStringList& order, int limit) const;
    // Holds the name bound to ":name" for this session, 1 where it could.
    QString claimName() const;
    QString createLike(const QString& table, const QString& source) const;
    // Writes into `table` the first row of each group of `keys` by `order`.
    QString insertFirstRows(const QString& table, const QString& source, const QStringList& columns,
                            const QStringList& keys, const QStringList& order) const;
    // Puts `building` in the place of `table` and `table` under `old`, in one
    // step that readers never see half done.
    QString swap(const QString& table, const QString& building, const QString& old) const;
    QString rename(const QString& table, const QString& newName) const;
    QString connectionId() const;
    QString killQuery(qint64 connection) const;
};

} // namespace Db
