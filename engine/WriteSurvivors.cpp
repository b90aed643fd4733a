#include "WriteSurvivors.h"

#include "SqliteReading.h"
#include "db/DatabaseError.h"

#include <vector>

using Db::DatabaseError;
using Db::SqliteDialect;
using Db::SqliteFile;
using namespace SqliteTable;

namespace {

KeyFolding foldingOf(const RunInputs& inputs) {
    return {inputs.options.ignoreCase, inputs.options.trim};
}

// A dry run: the rows read in the table's own order, and the first groups of
// repeats by the number of the row that stays.
void readRepeats(SqliteFile& file, const SqliteDialect& sql, const RunContext& context,
                 const Shape& shape, const QStringList& keyValues, RunResult& result) {
    const QString& source = context.inputs.sourceTable;
    RowTotal total(file, sql, source);
    StopCheck stop(context.keepGoingIn(Phase::Reading, result.rowsRead, total.total()));
    file.watch(&stop);
    context.report(Phase::Reading);
    FirstRows firstRows(file, sql, shape, source, keyValues, true, foldingOf(context.inputs),
                        [&] { stop.check(); });
    RowOrder order(source);
    SqliteFile::Statement rows(file, sql.readKeys(source, NumberOf(shape), shape.order, keyValues));
    const int fields = static_cast<int>(keyValues.size());
    std::vector<Db::RawValue> values(std::size_t(fields) + 1);
    FirstGroups groups;
    while (rows.step()) {
        stop.poke();
        if (++result.rowsRead % RowTotal::kRowsPerLook == 1)
            total.look(firstRows);
        for (int field = 0; field <= fields; ++field)
            values[std::size_t(field)] = rows.value(field);
        const std::optional<qint64> kept =
            firstRows.firstOf(order.next(values[0]), values.data() + 1, fields);
        if (!kept)
            continue;
        ++result.rowsRemoved;
        groups.add(*kept, order.number(), [&] {
            QVariantList shown;
            for (int field = 1; field <= fields; ++field)
                shown << values[std::size_t(field)].toVariant();
            return shown;
        });
    }
    file.watch(nullptr);
    result.rowsKept = result.rowsRead - result.rowsRemoved;
    result.groups = groups.groups();
}

} // namespace

RunResult WriteSurvivors::runOn(SqliteFile& file, const Shape& shape,
                                const QStringList& keyValues) {
    const RunInputs& inputs = m_context.inputs;
    const SqliteDialect& sql = m_sql;
    RunResult result;
    if (inputs.dryRun) {
        readRepeats(file, sql, m_context, shape, keyValues, result);
        result.status = RunResult::Status::Done;
        return result;
    }
    // The question comes before the transaction: a write lock held while the
    // user thinks would keep every other program out of the file.
    if (!shape.target.kind.isEmpty() && !m_context.mayReplace()) {
        result.status = RunResult::Status::Declined;
        return result;
    }
    file.execute(sql.beginChange());
    try {
        RequireUnchanged(file, sql, inputs, shape);
        if (!shape.target.kind.isEmpty())
            file.execute(sql.dropTable(inputs.newTable));
        const QStringList columns = WrittenColumns(shape);
        CreateCopy(file, sql, shape, inputs.sourceTable, inputs.newTable, columns);
        // One pass: each row is judged as it is read, in the table's own
        // order, and written when it is the first of its key.
        RowTotal total(file, sql, inputs.sourceTable);
        StopCheck stop(m_context.keepGoingIn(Phase::Writing, result.rowsRead, total.total()));
        m_context.report(Phase::Writing);
        FirstRows firstRows(file, sql, shape, inputs.sourceTable, keyValues, false,
                            foldingOf(inputs), [&] { stop.check(); });
        RowOrder order(inputs.sourceTable);
        total.wait(firstRows, stop);
        {
            const QString first = QStringLiteral("varnolt_first");
            SqliteFile::Registration function(
                file, first, [&](const Db::RawValue* arguments, int count) {
                    ++result.rowsRead;
                    if (!firstRows.firstOf(order.next(arguments[0]), arguments + 1, count - 1))
                        return true;
                    ++result.rowsRemoved;
                    return false;
                });
            file.watch(&stop, true);
            file.execute(sql.insertFirstRows(inputs.newTable, inputs.sourceTable, columns, first,
                                             NumberOf(shape), keyValues, shape.order));
            file.watch(nullptr);
        }
        result.rowsKept = result.rowsRead - result.rowsRemoved;
        // Every row was judged once, and every first row written.
        if (file.changes() != result.rowsKept ||
            (total.total() >= 0 && total.total() != result.rowsRead))
            throw DatabaseError(QString(),
                                QStringLiteral("The new table would hold %1 rows instead of %2.")
                                    .arg(file.changes())
                                    .arg(result.rowsKept));
        m_context.report(Phase::Finishing);
        file.execute(sql.commitChange());
    } catch (...) {
        file.watch(nullptr);
        try {
            file.execute(sql.rollbackChange());
        } catch (const DatabaseError&) {
            // A failed statement may have ended the transaction already.
        }
        throw;
    }
    result.status = RunResult::Status::Done;
    return result;
}
