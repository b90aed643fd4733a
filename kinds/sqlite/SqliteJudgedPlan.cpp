#include "SqliteJudgedPlan.h"

#include "OrderRank.h"
#include "RemovedRows.h"
#include "SqliteReading.h"
#include "db/DatabaseError.h"
#include "engine/RemovedGroups.h"

using Db::DatabaseError;
using Db::SqliteDialect;
using Db::SqliteFile;
using namespace SqliteTable;

namespace {

// The removed list read back by kept row, with the kept row's key values.
RemovedGroups removedGroups(SqliteFile& file, const SqliteDialect& sql, const QString& numbered,
                            const RunInputs& inputs) {
    auto rows = std::make_shared<SqliteFile::Statement>(
        file, sql.readRemovedGroups(numbered, Db::NamesOf(inputs.columns)));
    return RemovedGroups([rows]() -> std::optional<RemovedGroups::Row> {
        if (!rows->step())
            return std::nullopt;
        RemovedGroups::Row row{rows->integer(0), rows->integer(1), {}};
        for (int i = 2; i < rows->columnCount(); ++i)
            row.key << rows->value(i).toVariant();
        return row;
    });
}

// How the rows are ranked where every column of the order sorts as a rank
// can, so that the row that stays in each group is found as the table is read
// in its own order; nothing where they must be sorted instead. For the last
// row the order is turned round, and of equal ranks the last row stays.
std::optional<FirstRows::Ranking> rankingOf(SqliteFile& file, const SqliteDialect& sql,
                                            const Shape& shape, const RunInputs& inputs) {
    const RunOptions& options = inputs.options;
    if (options.orderBy.isEmpty() || shape.rowid.isEmpty())
        return std::nullopt;
    const bool last = options.keep == RunOptions::Keep::Last;
    QList<OrderRank::Term> terms;
    for (const OrderTerm& term : options.orderBy) {
        const std::optional<OrderRank::Collation> collation = OrderRank::collationNamed(
            file.collationOf(inputs.sourceTable, term.column), file.encoding());
        if (!collation)
            return std::nullopt;
        terms << OrderRank::Term{*collation, term.descending != last};
    }
    SqliteFile::Statement range(file, sql.rowidRange(inputs.sourceTable, shape.rowid));
    range.step();
    return FirstRows::Ranking{OrderRank(terms), last, range.integer(0), range.integer(1)};
}

// Copies the rows not removed. Both come in the order of their numbers, so
// the removed are walked alongside rather than searched for each row.
void writeUnremoved(SqliteFile& file, const SqliteDialect& sql, const QString& numbered,
                    const QString& newTable, const QStringList& columns, RemovedRows& removed) {
    std::optional<qint64> next = removed.next();
    const QString unremoved = QStringLiteral("varnolt_unremoved");
    SqliteFile::Registration function(file, unremoved, [&](const Db::RawValue* number, int) {
        while (next && *next < number->integer)
            next = removed.next();
        return !next || *next != number->integer;
    });
    file.execute(sql.insertUnremovedRows(newTable, numbered, columns, unremoved));
}

} // namespace

RunResult SqliteJudgedPlan::runOn(SqliteFile& file, const Shape& shape,
                                  const QStringList& keyValues) {
    const RunInputs& inputs = m_context.inputs;
    const RunOptions& options = inputs.options;
    const SqliteDialect& sql = m_sql;
    RunResult result;
    if (options.inPlace && !inputs.dryRun)
        RefuseCleaningInPlace(file, sql, inputs);
    if (!inputs.dryRun &&
        ((!options.inPlace && !shape.target.kind.isEmpty() && !m_context.mayReplace()) ||
         (!shape.removed.kind.isEmpty() && !m_context.mayReplace(options.removedInto)))) {
        result.status = RunResult::Status::Declined;
        return result;
    }
    GroupReport report(options.reportFile);
    file.execute(inputs.dryRun ? QStringLiteral("BEGIN") : sql.beginChange());
    try {
        RequireUnchanged(file, sql, inputs, shape);
        // Tables to replace go before the source is read: an R*Tree keeps a
        // handle on its pages that would keep a DROP out until the commit.
        if (!inputs.dryRun) {
            for (const auto& [name, existing] :
                 {std::pair{options.inPlace ? QString() : inputs.newTable, shape.target},
                  std::pair{options.removedInto, shape.removed}}) {
                if (!name.isEmpty() && !existing.kind.isEmpty())
                    file.execute(sql.dropTable(name));
            }
        }
        for (const QString& pragma : sql.sparingCaches())
            file.execute(pragma);
        const QString numbered = sql.numberedRows(inputs.sourceTable, shape.rowid, shape.order);
        // Only groups read back need the row kept in each removed row's place.
        const bool grouped =
            inputs.dryRun || !options.removedInto.isEmpty() || !options.reportFile.isEmpty();
        RemovedRows removed(file, sql, grouped);
        RowTotal total(file, sql, inputs.sourceTable);
        {
            StopCheck stop(m_context.keepGoingIn(Phase::Reading, result.rowsRead, total.total()));
            m_context.report(Phase::Reading);
            // Ranked rows are judged in the table's own order, where the
            // kept row of a group may still give way to a later one: its
            // number is good only where groups are not read back.
            const std::optional<FirstRows::Ranking> ranking =
                grouped ? std::nullopt : rankingOf(file, sql, shape, inputs);
            const bool last = options.keep == RunOptions::Keep::Last;
            FirstRows firstRows(
                file, sql, shape, inputs.sourceTable, keyValues, grouped, options.folding(),
                [&] { stop.check(); }, ranking, true);
            const FirstRows::Judged judged = [&](const RepeatFinder::Offer& row) {
                if (!row.repeat)
                    return;
                ++result.rowsRemoved;
                removed.add(*row.repeat, row.kept);
            };
            const auto take = [&](qint64 number, const Db::RawValue* values, int count) {
                if (++result.rowsRead % RowTotal::kRowsPerLook == 1)
                    total.look(firstRows);
                firstRows.add(number, values, count, judged);
            };
            const auto takeInPlace = [&](const Db::RawValue* number, const Db::RawValue* values,
                                         int count) { take(number->integer, values, count); };
            file.watch(&stop);
            if (ranking) {
                QStringList rankedValues = keyValues;
                for (const OrderTerm& term : options.orderBy)
                    rankedValues << Db::Dialect::quoted(term.column);
                ReadKeysInPlace(file, sql, inputs.sourceTable, shape.rowid, rankedValues,
                                shape.rowid, takeInPlace);
            } else if (options.orderBy.isEmpty() && !shape.rowid.isEmpty()) {
                // The table's own order, or its reverse: a scan, no sort.
                ReadKeysInPlace(file, sql, inputs.sourceTable, shape.rowid, keyValues,
                                shape.rowid + (last ? QStringLiteral(" DESC") : QString()),
                                takeInPlace);
            } else {
                file.execute(sql.sortInBackground());
                SqliteFile::Statement rows(
                    file, sql.readJudgedKeys(numbered, keyValues, JudgingTerms(options), last));
                std::vector<Db::RawValue> values(std::size_t(keyValues.size()));
                while (rows.step()) {
                    for (std::size_t field = 0; field < values.size(); ++field)
                        values[field] = rows.value(int(field) + 1);
                    take(rows.integer(0), values.data(), int(values.size()));
                }
            }
            firstRows.flush(judged);
            total.wait(stop);
            file.watch(nullptr);
        }
        result.rowsKept = result.rowsRead - result.rowsRemoved;
        if (total.total() >= 0 && total.total() != result.rowsRead)
            throw DatabaseError(QString(), QStringLiteral("%1 of %2 read instead of %3.")
                                               .arg(Rows(result.rowsRead), inputs.sourceTable,
                                                    Rows(total.total())));
        // The groups are read back in the order of the kept rows, which
        // SQLite sorts as it goes: the front end is asked meanwhile.
        const auto readGroups = [&](const std::function<void(RemovedGroups&)>& use) {
            StopCheck stop(m_context.keepGoingIn(Phase::Finishing, result.rowsRemoved));
            m_context.report(Phase::Finishing);
            file.watch(&stop);
            RemovedGroups groups = removedGroups(file, sql, numbered, inputs);
            use(groups);
            file.watch(nullptr);
        };
        if (inputs.dryRun) {
            readGroups(
                [&](RemovedGroups& groups) { ShowGroups(groups, inputs.shownGroups, result); });
        } else {
            StopCheck stop(m_context.keepGoingIn(Phase::Writing, result.rowsKept));
            m_context.report(Phase::Writing);
            file.watch(&stop, true);
            const QStringList columns = WrittenColumns(shape);
            qint64 written = result.rowsKept;
            if (!options.inPlace) {
                CreateCopy(file, sql, shape, inputs.sourceTable, inputs.newTable, true);
                writeUnremoved(file, sql, numbered, inputs.newTable, columns, removed);
                written = file.changes();
            }
            if (!options.removedInto.isEmpty()) {
                CreateCopy(file, sql, shape, inputs.sourceTable, options.removedInto, false);
                file.execute(sql.addColumn(options.removedInto, kRowNumberColumn));
                file.execute(sql.addColumn(options.removedInto, kKeptNumberColumn));
                file.execute(sql.insertRemovedRows(options.removedInto, numbered, columns,
                                                   {kRowNumberColumn, kKeptNumberColumn}));
                if (file.changes() != result.rowsRemoved)
                    written = -1;
            }
            if (options.inPlace) {
                file.execute(sql.deleteRemovedRows(inputs.sourceTable, options.removedInto,
                                                   shape.rowid, PrimaryKey(file, sql, inputs)));
                if (file.changes() != result.rowsRemoved)
                    written = -1;
                RefuseDanglingReferences(file, sql, shape, inputs, inputs.sourceTable,
                                         options.removedInto);
            }
            file.watch(nullptr);
            if (written != result.rowsKept)
                throw DatabaseError(QString(),
                                    QStringLiteral("The new tables would not hold the %1 "
                                                   "kept and the %2 removed.")
                                        .arg(Rows(result.rowsKept), Rows(result.rowsRemoved)));
        }
        if (!options.reportFile.isEmpty()) {
            readGroups([&](RemovedGroups& groups) { report.write(groups); });
            report.finish();
        }
        StopCheck stop(m_context.keepGoingIn(Phase::Finishing));
        m_context.report(Phase::Finishing);
        if (!inputs.dryRun) {
            file.watch(&stop, true);
            if (!options.inPlace)
                FinishCopy(file, sql, shape, inputs);
            file.watch(nullptr);
            file.settle(stop);
        }
        file.execute(inputs.dryRun ? QStringLiteral("ROLLBACK") : sql.commitChange());
    } catch (...) {
        report.cancel();
        TakeBack(file, sql);
        throw;
    }
    result.status = RunResult::Status::Done;
    return result;
}
