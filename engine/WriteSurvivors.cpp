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

// Calls `each` with every row's number and key values, in the table's own
// order, as SQLite has them in place: through a function of the statement
// rather than as its results, which SQLite would copy.
void readKeys(SqliteFile& file, const SqliteDialect& sql, const Shape& shape, const QString& source,
              const QStringList& keyValues,
              const std::function<void(const Db::RawValue* number, const Db::RawValue* values,
                                       int count)>& each) {
    const QString judge = QStringLiteral("varnolt_judge");
    SqliteFile::Registration function(file, judge, [&](const Db::RawValue* arguments, int count) {
        each(arguments, arguments + 1, count - 1);
        return true;
    });
    SqliteFile::Statement rows(
        file, sql.judgeRows(source, judge, NumberOf(shape), keyValues, shape.order));
    while (rows.step())
        ;
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
    FirstGroups groups;
    readKeys(file, sql, shape, source, keyValues,
             [&](const Db::RawValue* number, const Db::RawValue* values, int count) {
                 if (++result.rowsRead % RowTotal::kRowsPerLook == 1)
                     total.look(firstRows);
                 const std::optional<qint64> kept =
                     firstRows.firstOf(order.next(*number), values, count);
                 if (!kept)
                     return;
                 ++result.rowsRemoved;
                 groups.add(*kept, order.number(), [&] {
                     QVariantList shown;
                     for (int field = 0; field < count; ++field)
                         shown << values[field].toVariant();
                     return shown;
                 });
             });
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
        // The keys are judged first, read by a function SQLite calls with
        // the values in place, a batch at a time; then the rows that stay
        // are copied, the same rows in the same order.
        RowTotal total(file, sql, inputs.sourceTable);
        std::vector<bool> repeats;
        {
            StopCheck stop(m_context.keepGoingIn(Phase::Reading, result.rowsRead, total.total()));
            m_context.report(Phase::Reading);
            FirstRows firstRows(file, sql, shape, inputs.sourceTable, keyValues, false,
                                foldingOf(inputs), [&] { stop.check(); });
            RowOrder order(inputs.sourceTable);
            const FirstRows::Judged judged = [&](const RepeatFinder::Offer& row) {
                repeats.push_back(row.repeat.has_value());
                result.rowsRemoved += row.repeat ? 1 : 0;
            };
            const QString judge = QStringLiteral("varnolt_judge");
            SqliteFile::Registration function(
                file, judge, [&](const Db::RawValue* arguments, int count) {
                    if (++result.rowsRead % RowTotal::kRowsPerLook == 1)
                        total.look(firstRows);
                    firstRows.add(order.next(arguments[0]), arguments + 1, count - 1, judged);
                    return true;
                });
            file.watch(&stop);
            SqliteFile::Statement rows(
                file,
                sql.judgeRows(inputs.sourceTable, judge, NumberOf(shape), keyValues, shape.order));
            while (rows.step())
                ;
            firstRows.flush(judged);
            file.watch(nullptr);
            total.wait(firstRows, stop);
        }
        result.rowsKept = result.rowsRead - result.rowsRemoved;
        if (!shape.target.kind.isEmpty())
            file.execute(sql.dropTable(inputs.newTable));
        const QStringList columns = WrittenColumns(shape);
        CreateCopy(file, sql, shape, inputs.sourceTable, inputs.newTable, columns);
        qint64 written = 0;
        {
            StopCheck stop(m_context.keepGoingIn(Phase::Writing, written, result.rowsRead));
            m_context.report(Phase::Writing, 0, result.rowsRead);
            RowOrder order(inputs.sourceTable);
            const QString kept = QStringLiteral("varnolt_kept");
            SqliteFile::Registration function(file, kept, [&](const Db::RawValue* arguments, int) {
                order.next(arguments[0]);
                const std::size_t place = std::size_t(written++);
                return place < repeats.size() && !repeats[place];
            });
            file.watch(&stop, true);
            file.execute(sql.insertKeptRows(inputs.newTable, inputs.sourceTable, columns, kept,
                                            NumberOf(shape), shape.order));
            file.watch(nullptr);
        }
        // Both passes saw the same rows, the count taken aside agrees, and
        // every row that stays was written.
        if (written != result.rowsRead || file.changes() != result.rowsKept ||
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
