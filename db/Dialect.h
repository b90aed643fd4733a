#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace Db {

// Every statement text the wizard sends comes from here, so the pages and the
// engine never build SQL themselves, and whatever differs between the two
// databases is decided here rather than by asking which database answers.
class Dialect {
public:
    virtual ~Dialect() = default;

    // A name that addresses an object, between double quotes. A double quote
    // inside the name is doubled, so the name can never end the identifier early.
    static QString quoted(const QString& name);

    virtual QString tableList() const = 0;
    // The columns of one of the user's own tables, in column order; the table
    // name is bound to ":table_name".
    virtual QString columnList() const = 0;
    // The names and declared types of one of the user's own tables, in column
    // order; the table name is bound to ":table_name".
    virtual QString columnTypes() const = 0;
    QString preview(const QString& table) const;

    // Whether two names denote the same table (or column) for this database.
    virtual bool sameName(const QString& a, const QString& b) const = 0;

    // Statements of the duplicate removal run.
    QString dropTable(const QString& table) const;
    QString copyTable(const QString& newTable, const QString& source) const;
    QString probeColumns(const QString& table, const QStringList& columns) const;
    // Sequences a run leaves for the next run to drop before it makes them anew.
    virtual QStringList leftSequences() const = 0;
    // Statements that give every row of the new table a number of its own.
    virtual QStringList numberRows(const QString& newTable) const = 0;
    // The expression that reads that number back; `columns` are the new
    // table's columns, which the expression must not be mistaken for. Empty
    // when every candidate is taken by a column.
    virtual QString rowNumber(const QStringList& columns) const = 0;
    // The number a dry run reads with each row of the source table itself.
    virtual QString sourceRowNumber(const QStringList& columns) const = 0;
    // What the key reading selects for a column: the column itself, unless the
    // driver would read its values less exactly than the database keeps them.
    virtual QString keyValue(const QString& column, const QString& type) const;
    // Every row's number and key values, in the order of the numbers when
    // `inOrder`.
    QString readKeys(const QString& table, const QString& number, const QStringList& keyValues,
                     bool inOrder = false) const;
    // Deletes the rows whose numbers are bound to ":n0" .. ":n<count-1>".
    QString deleteRows(const QString& newTable, const QString& number, int count) const;
    virtual int deleteBatchSize() const = 0;
    virtual QStringList dropNumbers(const QString& newTable) const = 0;
    QString result(const QString& newTable) const;

    // Whether the whole run can be one transaction, so that a run that does
    // not finish is rolled back; otherwise every statement commits on its own
    // and an unfinished copy has to be dropped again.
    virtual bool changesInOneTransaction() const = 0;
    virtual QString beginChange() const = 0;
    QString commitChange() const { return QStringLiteral("COMMIT"); }
    QString rollbackChange() const { return QStringLiteral("ROLLBACK"); }
};

} // namespace Db
