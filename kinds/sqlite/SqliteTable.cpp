#include "SqliteTable.h"

#include "SqlitePlan.h"

#include "db/DatabaseError.h"

using Db::DatabaseError;
using Db::SqliteDialect;
using Db::SqliteFile;

namespace SqliteTable {

Object LookUp(SqliteFile& file, const SqliteDialect& sql, const QString& name) {
    Object object;
    SqliteFile::Statement row(file, sql.objectKind());
    row.bind(1, name);
    if (row.step()) {
        object.kind = row.text(0);
        object.withoutRowid = row.integer(1) != 0;
        object.definition = row.text(2);
    }
    if (object.kind == QStringLiteral("shadow") ||
        name.startsWith(QStringLiteral("sqlite_"), Qt::CaseInsensitive))
        object.kind = QStringLiteral("internal");
    return object;
}

namespace {

// The copy computes its generated columns itself; a virtual table's hidden
// columns are no part of its rows.
QList<Db::Column> rowColumns(const Shape& shape) {
    QList<Db::Column> columns;
    for (qsizetype i = 0; i < shape.columns.size(); ++i) {
        if (shape.hidden.at(i) == 0)
            columns << shape.columns.at(i);
    }
    return columns;
}

QString kindWithArticle(const QString& kind) {
    return (kind == QStringLiteral("index") ? QStringLiteral("an ") : QStringLiteral("a ")) + kind;
}

} // namespace

QString SourceRefusal(const Object& source, const QString& name) {
    if (source.kind == QStringLiteral("internal"))
        return QStringLiteral("%1 is an internal table of the database. Only your own tables can "
                              "be copied.")
            .arg(name);
    if (!source.kind.isEmpty() && !source.isTable())
        return NoTableSource(name, kindWithArticle(source.kind));
    return {};
}

QString TargetRefusal(const Object& target, const QString& name) {
    if (target.kind == QStringLiteral("internal"))
        return QStringLiteral("%1 is an internal table of the database. Please choose another "
                              "name.")
            .arg(name);
    if (!target.kind.isEmpty() && !target.isTable())
        return NoTableTarget(name, kindWithArticle(target.kind));
    return {};
}

Shape Inspect(SqliteFile& file, const SqliteDialect& sql, const RunInputs& inputs) {
    Shape shape;
    shape.source = LookUp(file, sql, inputs.sourceTable);
    if (shape.source.kind.isEmpty())
        throw Refusal{Db::TableGone(inputs.sourceTable).text()};
    if (!shape.source.isTable())
        return shape;
    SqliteFile::Statement details(file, sql.columnDetails());
    details.bind(1, inputs.sourceTable);
    while (details.step()) {
        shape.columns.append({details.text(0), details.text(1)});
        shape.hidden << static_cast<int>(details.integer(2));
    }
    if (shape.source.withoutRowid) {
        SqliteFile::Statement key(file, sql.primaryKeyOrder());
        key.bind(1, inputs.sourceTable);
        QStringList order;
        while (key.step())
            order << sql.keyOrder(key.text(0), key.text(2), key.integer(1) != 0);
        shape.order = order.join(QStringLiteral(", "));
    } else {
        shape.rowid = SqliteDialect::rowidName(Db::NamesOf(shape.columns));
        if (shape.rowid.isEmpty())
            throw DatabaseError(QString(), QStringLiteral("The table has columns named rowid, "
                                                          "_rowid_ and oid, so its rows cannot "
                                                          "be told apart."));
        shape.order = shape.rowid;
    }
    shape.target = LookUp(file, sql, inputs.newTable);
    if (!inputs.options.removedInto.isEmpty())
        shape.removed = LookUp(file, sql, inputs.options.removedInto);
    return shape;
}

void CreateCopy(SqliteFile& file, const SqliteDialect& sql, const Shape& shape,
                const QString& source, const QString& newTable) {
    const QString statement =
        shape.source.kind == QStringLiteral("virtual")
            ? sql.createTable(newTable, rowColumns(shape))
            : SqliteDialect::renamedDefinition(shape.source.definition, newTable);
    const QString cannot = QStringLiteral("%1; the table %2 cannot be copied as it is defined.");
    if (statement.isEmpty())
        throw DatabaseError(QString(), cannot.arg(shape.source.definition, source));
    try {
        file.execute(statement);
    } catch (const DatabaseError& error) {
        throw DatabaseError(error.nativeCode(), cannot.arg(error.text(), source));
    }
}

bool Refused(const Shape& shape, const RunInputs& inputs, const SqliteDialect& sql,
             RunResult& result) {
    result.message = SourceRefusal(shape.source, inputs.sourceTable);
    if (result.message.isEmpty() && inputs.options.judged())
        result.message = OptionRefusal(inputs, shape.columns, sql, {QStringLiteral("varnolt_row")});
    if (result.message.isEmpty() && !inputs.dryRun)
        result.message = TargetRefusal(shape.target, inputs.newTable);
    if (result.message.isEmpty() && !inputs.dryRun && !inputs.options.removedInto.isEmpty())
        result.message = TargetRefusal(shape.removed, inputs.options.removedInto);
    if (!result.message.isEmpty())
        result.status = RunResult::Status::Refused;
    return !result.message.isEmpty();
}

void RequireUnchanged(SqliteFile& file, const SqliteDialect& sql, const RunInputs& inputs,
                      const Shape& shape) {
    if (!(Inspect(file, sql, inputs) == shape))
        throw DatabaseError(QString(),
                            QStringLiteral("The table %1 or %2 was changed by someone else while "
                                           "the run was being prepared.")
                                .arg(inputs.sourceTable, inputs.newTable));
}

void TakeBack(SqliteFile& file, const SqliteDialect& sql) {
    file.watch(nullptr);
    try {
        file.execute(sql.rollbackChange());
    } catch (const DatabaseError&) {
        // A failed statement may have ended the transaction already.
    }
}

QStringList WrittenColumns(const Shape& shape) {
    return Db::NamesOf(rowColumns(shape));
}

QStringList KeyValues(const QList<Db::Column>& chosen) {
    QStringList keyValues;
    for (const Db::Column& column : chosen)
        keyValues << Db::Dialect::quoted(column.name);
    return keyValues;
}

QString NumberOf(const Shape& shape) {
    return shape.rowid.isEmpty() ? QStringLiteral("NULL") : shape.rowid;
}

} // namespace SqliteTable

RunResult SqlitePlan::run() {
    using namespace SqliteTable;
    m_context.report(Phase::Checking);
    Db::SqliteFile file(m_file);
    const Shape shape = Inspect(file, m_sql, m_context.inputs);
    RunResult refused;
    if (Refused(shape, m_context.inputs, m_sql, refused))
        return refused;
    return runOn(file, shape, KeyValues(m_context.chosenColumns(m_sql, shape.columns)));
}
