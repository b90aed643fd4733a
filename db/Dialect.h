#pragma once

#include <QString>
#include <QStringList>

namespace Db {

// A column as a run chooses it: its name, and its type as the database
// declares it (empty where it is not known yet, as when a user names it).
struct Column {
    QString name;
    QString type;

    bool operator==(const Column&) const = default;
};

// Every statement text the wizard sends comes from here, so the pages and the
// engine never build SQL themselves, and whatever differs between the two
// databases is decided here rather than by asking which database answers.
class Dialect {
public:
    virtual ~Dialect() = default;

    // A name that addresses an object, between double quotes. A double quote
    // inside the name is doubled, so the name can never end the identifier early.
    static QString quoted(const QString& name);
    static QString quotedList(const QStringList& names);
    // A column of the order the rows of a group are judged in: NULLs come
    // first rising and last falling, on every kind of database.
    static QString judgingTerm(const QString& column, bool descending);
    // The same, each name read from the table or subquery named `alias`.
    static QString quotedList(const QString& alias, const QStringList& names);

    virtual QString tableList() const = 0;
    // The columns of one of the user's own tables, in column order; the table
    // name is bound to ":table_name".
    virtual QString columnList() const = 0;
    // The names and declared types of one of the user's own tables, in column
    // order; the table name is bound to ":table_name".
    virtual QString columnTypes() const = 0;
    // The columns of ":table_name" that a row's values are written into, in
    // column order: all but those the database computes itself.
    virtual QString writtenColumns() const { return columnList(); }
    // The most bytes a name keeps whole, or 0 where any length is kept.
    virtual int longestName() const { return 0; }
    // A user's table as the statements of a run name it.
    virtual QString qualified(const QString& name) const { return quoted(name); }
    QString dropTable(const QString& table) const;
    // Writes the rows of `removed` back into `table` by their `order`, every
    // value of `columns` as it was.
    QString restoreRows(const QString& table, const QString& removed, const QStringList& columns,
                        const QString& order) const;
    // How many rows of `copy` refer through `columns` to a row of `source`
    // (by `parents`, quoted) that `copy` does not hold.
    QString danglingReferences(const QString& copy, const QString& source,
                               const QStringList& columns, const QStringList& parents) const;

    // A grid reads a table a page at a time, each page a short statement of
    // its own, so it holds nothing open while the user looks: no lock, no
    // snapshot. A page is the rows after the one whose key is bound to
    // ":after" (from the first row when `first`), each row led by its key, or
    // where the table has no key, the rows after the first ":skip" ones. Values
    // are cut to what a grid shows.
    static constexpr int kGridPageRows = 256;
    static constexpr int kGridTextLength = 300;
    virtual QString gridPage(const QString& table, const QStringList& columns, const QString& key,
                             bool first) const = 0;
    // One row, one text: what orders a table's rows for its grid pages, or
    // NULL where nothing does; the table is bound to ":table_name".
    virtual QString gridKey() const = 0;

    // Whether two names denote the same table (or column) for this database.
    virtual bool sameName(const QString& a, const QString& b) const = 0;
    // What the key reading selects for a column: the column itself, unless the
    // driver would read its values less exactly than the database keeps them.
    virtual QString keyValue(const QString& column, const QString& type) const;
};

} // namespace Db
