#include "SqliteFirstRowsPlan.h"

#include "JudgingAhead.h"
#include "SqliteReading.h"
#include "db/DatabaseError.h"

#include <vector>

using Db::DatabaseError;
using Db::SqliteDialect;
using Db::SqliteFile;
using namespace SqliteTable;

namespace {

// A dry run: the rows read in the table's own order, and the first groups of
// repeats by the number of the row that stays.
void readRepeats(SqliteFile& file, const SqliteDialect& sql, const RunContext& context,
                 const Shape& shape, const QStringList& keyValues, RunResult& result) {
    const QString& source = context.inputs.sourceTable;
    RowTotal total(file, sql, source);
    StopCheck stop(context.keepGoingIn(Phase::Reading, result.rowsRead, total.total()));
    file.watch(&stop);
    context.report(Phase::Reading);
    FirstRows firstRows(file, sql, shape, source, keyValues, true, context.inputs.options.folding(),
                        [&] { stop.check(); });
    RowOrder order(source);
    FirstGroups groups(context.inputs.shownGroups);
    ReadKeysInPlace(file, sql, source, NumberOf(shape), keyValues, shape.order,
                    [&](const Db::RawValue* number, const Db::RawValue* values, int count) {
                        if (++result.rowsRead % RowTotal::kRowsPerLook == 1)
                            total.look(firstRows);
                        const std::optional<qint64> kept =
                            firstRows.firstOf(order.next(*number), values, count);
                        if (!kept)
                            return;
                        ++result.rowsRemoved;
                        groups.add(*kept, order.number(), [] { return QVariantList(); });
                    });
    file.watch(nullptr);
    result.rowsKept = result.rowsRead - result.rowsRemoved;
    result.groups = groups.groups();
    result.repeatedGroups = groups.count();
    // A group shows the values of the row that stays, which folded texts
    // may write otherwise than its repeats.
    SqliteFile::Statement kept(file, shape.rowid.isEmpty()
                                         ? sql.readRowAt(source, shape.order, keyValues)
                                         : sql.readRow(source, shape.rowid, keyValues));
    for (RepeatGroup& group : result.groups) {
        kept.reset();
        kept.bind(1, group.kept);
        if (!kept.step())
            throw DatabaseError(QString(),
                                QStringLiteral("The table %1 was changed by someone else while "
                                               "it was read.")
                                    .arg(source));
        for (int field = 0; field < kept.columnCount(); ++field)
            group.values << kept.value(field).toVariant();
    }
}

} // namespace

RunResult SqliteFirstRowsPlan::runOn(SqliteFile& file, const Shape& shape,
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
        // The keys are judged on a connection and thread of their own while
        // the rows that stay are copied here, the same rows in the same order.
        RowTotal total(file, sql, inputs.sourceTable);
        JudgingAhead ahead(file, shape, inputs.sourceTable, keyValues, inputs.options.folding());
        if (ahead.judgesFirst()) {
            qint64 judged = 0;
            StopCheck stop(m_context.keepGoingIn(Phase::Reading, judged, total.total()));
            m_context.report(Phase::Reading);
            ahead.waitForAll([&] {
                judged = ahead.judged();
                if (total.arrived())
                    ahead.expect(total.total());
                stop.check();
            });
        }
        if (!shape.target.kind.isEmpty())
            file.execute(sql.dropTable(inputs.newTable));
        const QStringList columns = WrittenColumns(shape);
        CreateCopy(file, sql, shape, inputs.sourceTable, inputs.newTable, true);
        qint64 written = 0;
        {
            StopCheck stop(m_context.keepGoingIn(Phase::Writing, written, total.total()));
            m_context.report(Phase::Writing, 0, total.total());
            const std::function<void()> waiting = [&] { stop.check(); };
            const QString kept = QStringLiteral("varnolt_kept");
            SqliteFile::Registration function(file, kept, [&](const Db::RawValue* arguments, int) {
                if (written++ % RowTotal::kRowsPerLook == 0 && total.arrived())
                    ahead.expect(total.total());
                return ahead.stays(arguments[0], waiting);
            });
            file.watch(&stop, true);
            file.execute(sql.insertKeptRows(inputs.newTable, inputs.sourceTable, columns, kept,
                                            NumberOf(shape), shape.order));
            file.watch(nullptr);
            if (!ahead.allTaken(waiting))
                throw DatabaseError(QString(), QStringLiteral("The copy read fewer rows than "
                                                              "were judged."));
            total.wait(stop);
        }
        result.rowsRead = ahead.judged();
        result.rowsRemoved = ahead.repeats();
        result.rowsKept = result.rowsRead - result.rowsRemoved;
        // Both passes saw the same rows, the count taken aside agrees, and
        // every row that stays was written.
        if (written != result.rowsRead || file.changes() != result.rowsKept ||
            (total.total() >= 0 && total.total() != result.rowsRead))
            throw DatabaseError(QString(),
                                QStringLiteral("The new table would hold %1 instead of %2.")
                                    .arg(Rows(file.changes()), Rows(result.rowsKept)));
        StopCheck stop(m_context.keepGoingIn(Phase::Finishing));
        m_context.report(Phase::Finishing);
        file.watch(&stop, true);
        FinishCopy(file, sql, shape, inputs);
        file.watch(nullptr);
        file.settle(stop);
        file.execute(sql.commitChange());
    } catch (...) {
        TakeBack(file, sql);
        throw;
    }
    result.status = RunResult::Status::Done;
    return result;
}
