#include "SqliteTable.h"

#include "SqlitePlan.h"

#include "db/DatabaseError.h"

#include <map>
#include <vector>

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

// A table's columns, with their declared types and how each is hidden.
void readColumns(SqliteFile& file, const SqliteDialect& sql, const QString& table, Shape& shape) {
    SqliteFile::Statement details(file, sql.columnDetails());
    details.bind(1, table);
    while (details.step()) {
        shape.columns.append({details.text(0), details.text(1)});
        shape.hidden << static_cast<int>(details.integer(2));
    }
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
    readColumns(file, sql, inputs.sourceTable, shape);
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
                const QString& source, const QString& newTable, bool takesPlace) {
    const QString statement = shape.source.kind == QStringLiteral("virtual")
                                  ? sql.createTable(newTable, rowColumns(shape))
                                  : SqliteDialect::renamedDefinition(shape.source.definition,
                                                                     source, newTable, takesPlace);
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

namespace {

QStringList texts(SqliteFile& file, const QString& statement, const QString& bound) {
    SqliteFile::Statement rows(file, statement);
    rows.bind(1, bound);
    QStringList values;
    while (rows.step())
        values << rows.text(0);
    return values;
}

qint64 count(SqliteFile& file, const QString& statement, const QString& bound = {}) {
    SqliteFile::Statement rows(file, statement);
    if (!bound.isNull())
        rows.bind(1, bound);
    return rows.step() ? rows.integer(0) : 0;
}

} // namespace

void RefuseDanglingReferences(SqliteFile& file, const SqliteDialect& sql, const Shape& shape,
                              const RunInputs& inputs, const QString& holder,
                              const QString& former) {
    std::map<qint64, std::pair<QStringList, QStringList>> keys;
    {
        SqliteFile::Statement references(file, sql.selfReferences());
        references.bind(1, inputs.sourceTable);
        while (references.step()) {
            keys[references.integer(0)].first << references.text(1);
            keys[references.integer(0)].second << references.text(2);
        }
    }
    for (const auto& [id, key] : keys) {
        QStringList parents;
        for (const QString& parent : key.second) {
            if (!parent.isEmpty())
                parents << Db::Dialect::quoted(parent);
        }
        if (parents.isEmpty()) {
            for (const QString& column : texts(file, sql.primaryKeyColumns(), inputs.sourceTable))
                parents << Db::Dialect::quoted(column);
        }
        if (parents.isEmpty())
            parents << shape.rowid;
        RefuseDanglingReferences(
            count(file, sql.danglingReferences(holder, former, key.first, parents)), key.first);
    }
}

namespace {

// The copy's name for an index of the source: the source's name in it
// replaced, or the copy's name put before it, made free in the file.
QString indexName(SqliteFile& file, const SqliteDialect& sql, const QString& index,
                  const RunInputs& inputs) {
    const QString base = index.startsWith(inputs.sourceTable, Qt::CaseInsensitive)
                             ? inputs.newTable + index.mid(inputs.sourceTable.size())
                             : inputs.newTable + QLatin1Char('_') + index;
    QString name = base;
    for (int number = 2; count(file, sql.nameTaken(), name) > 0; ++number)
        name = base + QLatin1Char('_') + QString::number(number);
    return name;
}

} // namespace

void FinishCopy(SqliteFile& file, const SqliteDialect& sql, const Shape& shape,
                const RunInputs& inputs) {
    RefuseDanglingReferences(file, sql, shape, inputs, inputs.newTable, inputs.sourceTable);
    if (count(file, sql.hasCounters()) > 0) {
        const QStringList statements = sql.copyCounter();
        SqliteFile::Statement forget(file, statements.at(0));
        forget.bind(1, inputs.newTable);
        forget.step();
        SqliteFile::Statement carry(file, statements.at(1));
        carry.bind(1, inputs.newTable);
        carry.bind(2, inputs.sourceTable);
        carry.step();
    }
    if (inputs.options.withoutIndexes)
        return;
    std::vector<std::pair<QString, QString>> indexes;
    {
        SqliteFile::Statement own(file, sql.ownIndexes());
        own.bind(1, inputs.sourceTable);
        while (own.step())
            indexes.emplace_back(own.text(0), own.text(1));
    }
    for (const auto& [index, definition] : indexes) {
        const QString statement = SqliteDialect::renamedIndex(
            definition, indexName(file, sql, index, inputs), inputs.newTable);
        if (statement.isEmpty())
            throw DatabaseError(QString(), QStringLiteral("%1; the index %2 cannot be copied as "
                                                          "it is defined.")
                                               .arg(definition, index));
        file.execute(statement);
    }
}

QList<Db::Column> ColumnsOf(SqliteFile& file, const SqliteDialect& sql, const QString& table) {
    Shape shape;
    readColumns(file, sql, table, shape);
    return shape.columns;
}

QStringList WritableColumns(SqliteFile& file, const SqliteDialect& sql, const QString& table) {
    Shape shape;
    readColumns(file, sql, table, shape);
    return WrittenColumns(shape);
}

QStringList PrimaryKey(SqliteFile& file, const SqliteDialect& sql, const RunInputs& inputs) {
    return texts(file, sql.primaryKeyColumns(), inputs.sourceTable);
}

void RefuseCleaningInPlace(SqliteFile& file, const SqliteDialect& sql, const RunInputs& inputs) {
    const QString& table = inputs.sourceTable;
    RefuseObstaclesInPlace(table, texts(file, sql.tablesReferringTo(), table),
                           texts(file, sql.deleteTriggers(), table));
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
