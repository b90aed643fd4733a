#include "OraclePlan.h"

#include "OracleDialect.h"
#include "db/Catalogue.h"
#include "db/DatabaseError.h"
#include "engine/RepeatFinder.h"
#include "engine/RowKey.h"

#include <algorithm>

using Db::DatabaseError;
using Db::OracleDialect;
using Db::RecordSet;

namespace {

struct Shape {
    QList<Db::Column> columns;
    bool exists = false;
    // A table under the temporary name is a crashed run's unfinished copy
    // while it has the marker column; without it, it may be the result of a
    // run whose last rename failed, which only the user may drop.
    bool temporaryExists = false;
    bool temporaryIsLeftover = false;
    bool removedExists = false;

    bool operator==(const Shape&) const = default;
};

Shape shapeOf(Db::Session& session, const Db::Dialect& dialect, const RunInputs& inputs) {
    Shape shape;
    shape.columns = Db::ColumnTypes(session, inputs.sourceTable);
    const QStringList tables = Db::TableList(session);
    shape.exists = std::any_of(tables.begin(), tables.end(), [&](const QString& table) {
        return dialect.sameName(table, inputs.newTable);
    });
    shape.temporaryExists = tables.contains(OracleDialect::kTemporaryTable);
    shape.removedExists = std::any_of(tables.begin(), tables.end(), [&](const QString& table) {
        return dialect.sameName(table, inputs.options.removedInto);
    });
    if (shape.temporaryExists)
        shape.temporaryIsLeftover = Db::ColumnList(session, OracleDialect::kTemporaryTable)
                                        .contains(OracleDialect::kMarkerColumn);
    return shape;
}

RunResult refused(const QString& message) {
    RunResult result;
    result.status = RunResult::Status::Refused;
    result.message = message;
    return result;
}

} // namespace

OraclePlan::OraclePlan(const RunContext& context, Db::Session& session)
    : m_context(context), m_session(session) {}

RunResult OraclePlan::run() {
    const RunInputs& inputs = m_context.inputs;
    const QString& temporary = OracleDialect::kTemporaryTable;
    if (inputs.sourceTable == temporary)
        return refused(QStringLiteral("%1 is the name under which Varnolt builds its copies. "
                                      "Rename the table to copy it.")
                           .arg(temporary));
    if (!inputs.dryRun && (inputs.newTable == temporary || inputs.options.removedInto == temporary))
        return refused(QStringLiteral("%1 is the name under which Varnolt builds its copies. "
                                      "Please choose another name.")
                           .arg(temporary));
    RunResult result;
    m_context.report(Phase::Checking);
    m_session.open();
    const Shape shape = shapeOf(m_session, m_dialect, inputs);
    for (const Db::Column& column : m_context.chosenColumns(m_dialect, shape.columns))
        m_keyValues << m_dialect.keyValue(column.name, column.type);
    if (inputs.options.judged()) {
        if (const QString refusal = OptionRefusal(inputs, shape.columns, m_dialect);
            !refusal.isEmpty())
            return refused(refusal);
    }
    {
        RecordSet probe(m_session,
                        m_dialect.probeColumns(inputs.sourceTable, Db::NamesOf(inputs.columns)));
    }
    const RunOptions& options = inputs.options;
    // Nothing on Oracle can take back a table replaced, and a dry run's
    // numbers cannot find its rows again.
    if (!options.removedInto.isEmpty() && shape.removedExists)
        return refused(QStringLiteral("A table named %1 already exists; on Oracle the removed "
                                      "rows go only into a new table. Please choose another "
                                      "name.")
                           .arg(options.removedInto));
    if (inputs.dryRun && !options.reportFile.isEmpty())
        return refused(QStringLiteral("On Oracle a report is written by a run that makes the "
                                      "table, not by a dry run."));
    if (options.inPlace && !inputs.dryRun)
        return cleanInPlace(shape.columns);
    if (inputs.dryRun) {
        findRepeats(inputs.sourceTable, QStringLiteral("ROWNUM"), true, result);
        result.status = RunResult::Status::Done;
        return result;
    }
    if (shape.exists && shape.temporaryExists && !shape.temporaryIsLeftover)
        return refused(QStringLiteral("A table named %1 is in the way: it may hold the result of "
                                      "an earlier run whose last step failed. Rename or drop it, "
                                      "then run again. Nothing was changed.")
                           .arg(temporary));
    if (shape.exists && !m_context.mayReplace()) {
        result.status = RunResult::Status::Declined;
        return result;
    }
    // Oracle has no transaction around DDL: what decides the run is read once
    // more after the question, as close to the first change as can be.
    if (shape.exists && !(shapeOf(m_session, m_dialect, inputs) == shape))
        throw DatabaseError(QString(), QStringLiteral("The table %1 or %2 was changed by someone "
                                                      "else while the run was being prepared. "
                                                      "Nothing was changed.")
                                           .arg(inputs.sourceTable, inputs.newTable));
    const bool replacing = shape.exists;
    const QString copy = replacing ? temporary : inputs.newTable;
    GroupReport groupReport(inputs.options.reportFile);
    try {
        m_context.report(Phase::Copying);
        QStringList leftovers{m_dialect.dropMarkerIndex()};
        if (shape.temporaryIsLeftover)
            leftovers.prepend(m_dialect.dropTable(temporary));
        Db::DropLeftovers(m_session.kind(), m_session.connectionData(), leftovers);
        m_session.execute(m_dialect.copyTable(copy, inputs.sourceTable));
        m_copyMade = true;
        m_context.report(Phase::Numbering);
        Db::DropSequence(m_session.kind(), m_session.connectionData(), OracleDialect::kSequence);
        for (const QString& statement : m_dialect.numberRows(copy))
            m_session.execute(statement);
        m_session.execute(m_dialect.indexNumbers(copy));
        const QList<Removal> removals =
            findRepeats(copy, Db::Dialect::quoted(OracleDialect::kMarkerColumn), false, result);
        if (!inputs.options.removedInto.isEmpty()) {
            makeRemovedTable(copy, shape.columns);
            keepRemoved(copy, removals, shape.columns);
        }
        removeRepeats(copy, removals, groupReport);
        m_session.execute(m_dialect.dropNumbers(copy));
        if (!inputs.options.reportFile.isEmpty())
            groupReport.finish();
    } catch (...) {
        groupReport.cancel();
        m_remains = takeBack(copy, replacing);
        throw;
    }
    if (replacing) {
        try {
            m_session.execute(m_dialect.dropTable(inputs.newTable));
        } catch (...) {
            groupReport.cancel();
            m_remains = takeBack(copy, replacing);
            throw;
        }
        m_remains = QStringLiteral("The old table %1 was dropped; the new one is ready under the "
                                   "name %2. Rename it to %1.")
                        .arg(inputs.newTable, copy);
        m_leftBehind = true;
        m_session.execute(m_dialect.renameTable(copy, inputs.newTable));
        m_leftBehind = false;
    }
    result.status = RunResult::Status::Done;
    return result;
}

QVariant OraclePlan::addressOf(qint64 number) const {
    return m_rowids.isEmpty() ? QVariant(number) : QVariant(m_rowids.at(number - 1));
}

// The table of removed rows is made first: its DDL would commit the deletes
// if it came among them.
RunResult OraclePlan::cleanInPlace(const QList<Db::Column>& columns) {
    const RunInputs& inputs = m_context.inputs;
    const QString& table = inputs.sourceTable;
    if (!Db::TableList(m_session).contains(table))
        return refused(NoTableSource(table, QStringLiteral("a view or another kind of object")));
    const auto names = [&](const QString& sql) {
        QStringList found;
        RecordSet rows(m_session, sql, {{QStringLiteral("table_name"), table}});
        while (rows.next())
            found << rows.value(0).toString();
        return found;
    };
    RefuseObstaclesInPlace(table, names(m_dialect.tablesReferringTo()),
                           names(m_dialect.deleteTriggers()));
    m_address = QStringLiteral("ROWID");
    RunResult result;
    GroupReport groupReport(inputs.options.reportFile);
    QSqlDatabase database = m_session.database();
    bool changing = false;
    try {
        makeRemovedTable(table, columns);
        const QList<Removal> removals = findRepeats(table, QStringLiteral("ROWNUM"), false, result);
        if (!database.transaction())
            throw DatabaseError(database.lastError());
        changing = true;
        keepRemoved(table, removals, columns);
        removeRepeats(table, removals, groupReport);
        if (!inputs.options.reportFile.isEmpty())
            groupReport.finish();
        if (!database.commit())
            throw DatabaseError(database.lastError());
    } catch (...) {
        groupReport.cancel();
        if (changing)
            database.rollback();
        takeBack(QString(), false);
        if (m_removedMade)
            m_remains = QStringLiteral("The rows of %1 are as they were, but the table %2 made "
                                       "for the removed rows could not be dropped.")
                            .arg(table, inputs.options.removedInto);
        throw;
    }
    result.status = RunResult::Status::Done;
    return result;
}

QList<OraclePlan::Removal> OraclePlan::findRepeats(const QString& table, const QString& number,
                                                   bool collectGroups, RunResult& result) {
    m_context.report(Phase::Reading);
    StopCheck stop(m_context.keepGoingIn(Phase::Reading, result.rowsRead));
    // Judged rows come in the order they are judged in, where the first of a
    // key stays; otherwise in any order, where the lowest number stays.
    const RunOptions& options = m_context.inputs.options;
    const bool judged = options.judged();
    QStringList order = JudgingTerms(options);
    if (judged || collectGroups)
        order << (options.keep == RunOptions::Keep::Last ? QStringLiteral("1 DESC")
                                                         : QStringLiteral("1"));
    const bool inPlace = m_address == QStringLiteral("ROWID");
    RecordSet rows(m_session,
                   m_dialect.readKeys(table, number,
                                      inPlace ? m_keyValues + QStringList{m_address} : m_keyValues,
                                      order));
    const int fields = static_cast<int>(m_keyValues.size());
    const KeyFolding folding = options.folding();
    RepeatFinder finder({.order = judged ? RepeatFinder::Order::Rising : RepeatFinder::Order::Any,
                         .pulse = [&] { stop.check(); }});
    FirstGroups groups(m_context.inputs.shownGroups);
    QList<Removal> repeats;
    std::string key;
    while (rows.next()) {
        stop.poke();
        key.clear();
        for (int field = 1; field <= fields; ++field)
            AppendKeyValue(key, rows.value(field), folding);
        qint64 kept = 0;
        const qint64 number = rows.value(0).toLongLong();
        if (inPlace) {
            if (m_rowids.size() < number)
                m_rowids.resize(number);
            m_rowids[number - 1] = rows.value(fields + 1).toString();
        }
        const std::optional<qint64> repeat =
            finder.offer(QByteArrayView(key.data(), qsizetype(key.size())), number, &kept);
        ++result.rowsRead;
        if (!repeat)
            continue;
        repeats.append({*repeat, kept});
        if (collectGroups)
            groups.add(kept, *repeat, [&] {
                QVariantList values;
                for (int field = 1; field <= fields; ++field)
                    values << rows.value(field);
                return values;
            });
    }
    result.rowsRemoved = repeats.size();
    result.rowsKept = result.rowsRead - result.rowsRemoved;
    result.groups = groups.groups();
    result.repeatedGroups = groups.count();
    return repeats;
}

void OraclePlan::removeRepeats(const QString& table, const QList<Removal>& removals,
                               GroupReport& groupReport) {
    if (!m_context.inputs.options.reportFile.isEmpty())
        report(table, removals, groupReport);
    QList<qint64> repeats;
    for (const Removal& removal : removals)
        repeats << removal.row;
    deleteRows(table, repeats);
    m_context.report(Phase::Finishing);
}

void OraclePlan::deleteRows(const QString& table, QList<qint64> numbers) {
    std::sort(numbers.begin(), numbers.end());
    const int batch = OracleDialect::kDeleteBatch;
    const QString full = m_dialect.deleteRows(table, batch, m_address);
    qint64 done = 0;
    const qint64 total = numbers.size();
    m_context.report(Phase::Removing, done, total);
    StopCheck stop(m_context.keepGoingIn(Phase::Removing, done, total));
    for (qsizetype start = 0; start < numbers.size(); start += batch) {
        stop.check();
        const int count = static_cast<int>(std::min<qsizetype>(batch, numbers.size() - start));
        QVariantMap values;
        for (int i = 0; i < count; ++i)
            values.insert(QStringLiteral("n%1").arg(i), addressOf(numbers.at(start + i)));
        m_session.execute(count == batch ? full : m_dialect.deleteRows(table, count, m_address),
                          values);
        done += count;
    }
}

QString OraclePlan::takeBack(const QString& copy, bool replacing) {
    const QString& name = m_context.inputs.newTable;
    if (m_removedMade) {
        try {
            m_session.execute(m_dialect.dropTable(m_context.inputs.options.removedInto));
            m_removedMade = false;
        } catch (const DatabaseError&) {
            m_leftBehind = true;
        }
    }
    const QString old =
        replacing ? QStringLiteral(" The table %1 was left as it was.").arg(name) : QString();
    if (!m_copyMade)
        return QStringLiteral("The new table was not made.") + old;
    try {
        m_session.execute(m_dialect.dropTable(copy));
        return (replacing ? QStringLiteral("The unfinished copy was removed.")
                          : QStringLiteral("The unfinished table %1 was removed.").arg(name)) +
               old;
    } catch (const DatabaseError& error) {
        m_leftBehind = true;
        return QStringLiteral("The unfinished table %1 could not be removed (%2); drop it before "
                              "you use it.")
                   .arg(copy, error.message()) +
               old;
    }
}

void OraclePlan::makeRemovedTable(const QString& from, const QList<Db::Column>& columns) {
    m_session.execute(m_dialect.createRemovedTable(
        m_context.inputs.options.removedInto, from, Db::NamesOf(columns),
        {kRowNumberColumn, kKeptNumberColumn}, m_address));
    m_removedMade = true;
}

void OraclePlan::keepRemoved(const QString& copy, const QList<Removal>& removals,
                             const QList<Db::Column>& columns) {
    const QString& table = m_context.inputs.options.removedInto;
    const int batch = OracleDialect::kDeleteBatch / 2;
    qint64 written = 0;
    StopCheck stop(m_context.keepGoingIn(Phase::Removing, written));
    for (qsizetype start = 0; start < removals.size(); start += batch) {
        stop.check();
        const int count = static_cast<int>(std::min<qsizetype>(batch, removals.size() - start));
        QVariantMap values;
        for (int i = 0; i < count; ++i) {
            const Removal& removal = removals.at(start + i);
            values.insert(QStringLiteral("n%1").arg(i), addressOf(removal.row));
            values.insert(QStringLiteral("k%1").arg(i), removal.kept);
            if (!m_rowids.isEmpty())
                values.insert(QStringLiteral("r%1").arg(i), removal.row);
        }
        m_session.execute(
            m_dialect.insertRemovedRows(table, copy, Db::NamesOf(columns), count, m_address),
            values);
        written += count;
    }
}

void OraclePlan::report(const QString& copy, QList<Removal> removals, GroupReport& groupReport) {
    std::sort(removals.begin(), removals.end(), [](const Removal& a, const Removal& b) {
        return std::pair(a.kept, a.row) < std::pair(b.kept, b.row);
    });
    // The kept rows' key values, read a batch of kept rows at a time.
    QHash<QString, QVariantList> keys;
    qsizetype next = 0;
    const auto readKeys = [&](qsizetype from) {
        keys.clear();
        QVariantMap values;
        for (qsizetype at = from;
             at < removals.size() && values.size() < OracleDialect::kDeleteBatch; ++at) {
            if (at == from || removals.at(at).kept != removals.at(at - 1).kept)
                values.insert(QStringLiteral("n%1").arg(values.size()),
                              addressOf(removals.at(at).kept));
        }
        RecordSet rows(m_session,
                       m_dialect.readKeptKeys(copy, Db::NamesOf(m_context.inputs.columns),
                                              int(values.size()), m_address),
                       values);
        while (rows.next()) {
            QVariantList key;
            for (int i = 1; i < rows.fieldCount(); ++i)
                key << rows.value(i);
            keys.insert(rows.value(0).toString(), key);
        }
    };
    RemovedGroups groups([&]() -> std::optional<RemovedGroups::Row> {
        if (next == removals.size())
            return std::nullopt;
        const Removal& removal = removals.at(next);
        const QString kept = addressOf(removal.kept).toString();
        if (!keys.contains(kept))
            readKeys(next);
        ++next;
        return RemovedGroups::Row{removal.kept, removal.row, keys.value(kept)};
    });
    groupReport.write(groups);
}
