#pragma once

#include "SqliteDialect.h"
#include "SqliteFile.h"
#include "engine/RunContext.h"

// What the runs on a SQLite file share: what the names denote, the checks on
// them, and the copy made empty.
namespace SqliteTable {

// What a name denotes in the file: its kind ("table", "virtual", "view",
// "index", "trigger", "internal" for the database's own tables and a virtual
// table's shadows; empty when nothing has the name) and, for a table, whether
// it has no rowid and its own CREATE TABLE statement.
struct Object {
    QString kind;
    bool withoutRowid = false;
    QString definition;

    bool isTable() const {
        return kind == QStringLiteral("table") || kind == QStringLiteral("virtual");
    }
    bool operator==(const Object&) const = default;
};

Object LookUp(Db::SqliteFile& file, const Db::SqliteDialect& sql, const QString& name);
// Why a source cannot be copied, or the empty text when it can.
QString SourceRefusal(const Object& source, const QString& name);
// Why a new name cannot be used, or the empty text when it can.
QString TargetRefusal(const Object& target, const QString& name);

// Everything about the two tables that decides what a run does; read before
// the question and again inside the transaction, which must find it unchanged.
struct Shape {
    Object source;
    QList<Db::Column> columns;
    QList<int> hidden;
    // The name the rowid goes by (empty for a table without rowid), and the
    // table's own order: by rowid, or by the primary key.
    QString rowid;
    QString order;
    Object target;
    // The table of the removed rows, when one is asked for.
    Object removed;

    bool operator==(const Shape&) const = default;
};

Shape Inspect(Db::SqliteFile& file, const Db::SqliteDialect& sql, const RunInputs& inputs);

// Whether the run cannot go on with these tables; then `result` says why.
bool Refused(const Shape& shape, const RunInputs& inputs, const Db::SqliteDialect& sql,
             RunResult& result);
// Throws unless the tables are still as `shape` says, inside the transaction.
void RequireUnchanged(Db::SqliteFile& file, const Db::SqliteDialect& sql, const RunInputs& inputs,
                      const Shape& shape);

// Refuses where rows of `holder` would refer, through a FOREIGN KEY of the
// source's that refers to the source itself, to rows that only `former`
// holds.
void RefuseDanglingReferences(Db::SqliteFile& file, const Db::SqliteDialect& sql,
                              const Shape& shape, const RunInputs& inputs, const QString& holder,
                              const QString& former);
// The source's primary key columns, in key order.
QStringList PrimaryKey(Db::SqliteFile& file, const Db::SqliteDialect& sql, const RunInputs& inputs);
// Refuses cleaning the source in place where other tables' FOREIGN KEYs
// refer to it or a trigger acts on its deletes.
void RefuseCleaningInPlace(Db::SqliteFile& file, const Db::SqliteDialect& sql,
                           const RunInputs& inputs);
// Rolls the run's transaction back, whatever the statement that failed left.
void TakeBack(Db::SqliteFile& file, const Db::SqliteDialect& sql);

// The table `newTable`, made empty: the source's own definition under the
// new name, or for a virtual table, a plain table of its columns. A copy that
// `takesPlace` of the source refers to itself where the source does; a table
// of removed rows keeps referring to the source.
void CreateCopy(Db::SqliteFile& file, const Db::SqliteDialect& sql, const Shape& shape,
                const QString& source, const QString& newTable, bool takesPlace);
// Makes the copy, once written, stand on its own: refuses it where kept rows
// refer to removed ones through a FOREIGN KEY of the table's own, carries on
// the source's AUTOINCREMENT counter, and gives it the source's indexes
// (unless they are left out) under names of its own.
void FinishCopy(Db::SqliteFile& file, const Db::SqliteDialect& sql, const Shape& shape,
                const RunInputs& inputs);
// A table's columns as the file has them, hidden and generated ones included,
// and those a row's values are written into.
QList<Db::Column> ColumnsOf(Db::SqliteFile& file, const Db::SqliteDialect& sql,
                            const QString& table);
QStringList WritableColumns(Db::SqliteFile& file, const Db::SqliteDialect& sql,
                            const QString& table);
// The columns a copy is written with.
QStringList WrittenColumns(const Shape& shape);
// The chosen columns as they are read.
QStringList KeyValues(const QList<Db::Column>& chosen);
// What a row's number is read as: the rowid, or NULL for a table without one.
QString NumberOf(const Shape& shape);

} // namespace SqliteTable
