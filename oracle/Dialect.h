#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace Oracle {

// Every statement text the wizard sends comes from here, so the pages and the
// engine never build SQL themselves. The Oracle texts are the documented ones;
// SQLite gets statements with the same effect.
class Dialect {
public:
    enum class Kind { Oracle, Sqlite };

    virtual ~Dialect() = default;
    virtual Kind kind() const = 0;

    // A name that addresses an object, between double quotes. A double quote
    // inside the name is doubled, so the name can never end the identifier early.
    static QString quoted(const QString& name);

    virtual QString tableList() const = 0;
    // The columns of one of the user's own tables, in column order; the table
    // name is bound to ":table_name".
    virtual QString columnList() const = 0;
    QString preview(const QString& table) const;

    // Whether two names denote the same table (or column) for this database.
    virtual bool sameName(const QString& a, const QString& b) const = 0;

    // Statements of the duplicate removal run.
    QString dropTable(const QString& table) const;
    QString copyTable(const QString& newTable, const QString& source) const;
    QString probeColumns(const QString& table, const QStringList& columns) const;
    // Statements that give every row of the new table a number of its own.
    virtual QStringList numberRows(const QString& newTable) const = 0;
    // The expression that reads that number back; `columns` are the new
    // table's columns, which the expression must not be mistaken for.
    virtual QString rowNumber(const QStringList& columns) const = 0;
    // The names and declared types of one of the user's own tables, in column
    // order; the table name is bound to ":table_name".
    virtual QString columnTypes() const = 0;
    // What the key reading selects for a column: the column itself, unless the
    // driver would read its values less exactly than the database keeps them.
    virtual QString keyValue(const QString& column, const QString& type) const;
    QString readKeys(const QString& newTable, const QString& number,
                     const QStringList& keyValues) const;
    // Deletes the rows whose numbers are bound to ":n0" .. ":n<count-1>".
    QString deleteRows(const QString& newTable, const QString& number, int count) const;
    virtual int deleteBatchSize() const = 0;
    virtual QStringList dropNumbers(const QString& newTable) const = 0;
    QString result(const QString& newTable) const;
    // Oracle commits every DDL statement at once; SQLite can run the whole
    // change in one transaction, so a failed run leaves nothing behind. Empty
    // where the database has no such transaction.
    virtual QString beginChange() const = 0;
    QString commitChange() const { return QStringLiteral("COMMIT"); }
    QString rollbackChange() const { return QStringLiteral("ROLLBACK"); }

    static std::unique_ptr<Dialect> create(Kind kind);
};

class OracleDialect final : public Dialect {
public:
    static const QString kSequence;
    static const QString kMarkerColumn;

    Kind kind() const override { return Kind::Oracle; }
    QString tableList() const override;
    QString columnList() const override;
    bool sameName(const QString& a, const QString& b) const override;
    QString columnTypes() const override;
    QString keyValue(const QString& column, const QString& type) const override;
    QStringList numberRows(const QString& newTable) const override;
    QString rowNumber(const QStringList& columns) const override;
    int deleteBatchSize() const override { return 1000; }
    QStringList dropNumbers(const QString& newTable) const override;
    QString beginChange() const override { return {}; }

    QString dropSequence() const;
};

class SqliteDialect final : public Dialect {
public:
    Kind kind() const override { return Kind::Sqlite; }
    QString tableList() const override;
    QString columnList() const override;
    bool sameName(const QString& a, const QString& b) const override;
    QString columnTypes() const override;
    QStringList numberRows(const QString& newTable) const override;
    QString rowNumber(const QStringList& columns) const override;
    int deleteBatchSize() const override { return 500; }
    QStringList dropNumbers(const QString& newTable) const override;
    // Taking the write lock at once means a second run on the same file waits
    // for the first instead of failing halfway.
    QString beginChange() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
};

} // namespace Oracle
