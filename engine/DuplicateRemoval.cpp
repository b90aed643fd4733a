#include "DuplicateRemoval.h"

#include "RepeatFinder.h"
#include "RowKey.h"
#include "db/DatabaseError.h"

#include <algorithm>
#include <map>

using Db::DatabaseError;
using Db::Dialect;
using Db::RecordSet;
using Db::Session;

namespace {

// How many groups of repeats a dry run shows.
constexpr qsizetype kShownGroups = 10;

// The first groups of repeats by the number of the row that stays, kept small
// however many groups the table has.
class FirstGroups {
public:
    void add(qint64 kept, qint64 repeat, const RecordSet& row, int fields) {
        auto group = m_groups.find(kept);
        if (group == m_groups.end()) {
            if (qsizetype(m_groups.size()) == kShownGroups) {
                if (kept > m_groups.rbegin()->first)
                    return;
                m_groups.erase(std::prev(m_groups.end()));
            }
            group = m_groups.emplace(kept, RepeatGroup{kept, {}, {}}).first;
            for (int field = 1; field <= fields; ++field)
                group->second.values << row.value(field);
        }
        group->second.repeats << repeat;
    }
    QList<RepeatGroup> groups() const {
        QList<RepeatGroup> all;
        for (const auto& entry : m_groups)
            all << entry.second;
        return all;
    }

private:
    std::map<qint64, RepeatGroup> m_groups;
};

} // namespace

QString ProposedName(const QString& sourceTable) {
    return sourceTable +
           (sourceTable.endsWith(QLatin1Char('2')) ? QStringLiteral("Two") : QStringLiteral("2"));
}

DuplicateRemoval::DuplicateRemoval(RunInputs inputs, RunCallbacks callbacks)
    : m_inputs(std::move(inputs)), m_callbacks(std::move(callbacks)) {}

QString DuplicateRemoval::refusal(const Dialect& dialect) const {
    const QString& name = m_inputs.newTable;
    if (name.isEmpty())
        return QStringLiteral("Please enter a name for the new table.");
    if (name.contains(QLatin1Char('"')))
        return QStringLiteral("A table name cannot hold a double quote (\"). Please choose "
                              "another name.");
    if (dialect.sameName(name, m_inputs.sourceTable))
        return QStringLiteral("The new table cannot have the name of the table it is copied "
                              "from. Please choose another name.");
    if (m_inputs.columns.isEmpty())
        return QStringLiteral("Please choose at least one field.");
    return {};
}

// SQLite reads a double-quoted name that is no column as a text constant, which
// would make every row a repeat; so every chosen column is looked up first.
QStringList DuplicateRemoval::keyValues(const Dialect& dialect,
                                        const QList<Db::Column>& sourceColumns) const {
    QStringList values;
    for (const QString& chosen : m_inputs.columns) {
        const auto found =
            std::find_if(sourceColumns.begin(), sourceColumns.end(), [&](const Db::Column& column) {
                return dialect.sameName(column.name, chosen);
            });
        if (found == sourceColumns.end())
            throw DatabaseError(
                QString(),
                QStringLiteral("The table %1 has no column %2.").arg(m_inputs.sourceTable, chosen));
        values << dialect.keyValue(chosen, found->type);
    }
    return values;
}

bool DuplicateRemoval::tableExists(Session& session) const {
    const QStringList tables = Db::TableList(session);
    return std::any_of(tables.begin(), tables.end(), [&](const QString& table) {
        return session.dialect().sameName(table, m_inputs.newTable);
    });
}

void DuplicateRemoval::report(Phase phase, qint64 done, qint64 total) {
    if (m_callbacks.progress && !m_callbacks.progress({phase, done, total}))
        throw Stopped{};
}

KeepGoing DuplicateRemoval::keepGoingIn(Phase phase, const qint64& done, qint64 total) {
    if (!m_callbacks.progress)
        return {};
    return [this, phase, &done, total] { return m_callbacks.progress({phase, done, total}); };
}

RunResult DuplicateRemoval::run() {
    RunResult result;
    Session session(m_inputs.connection);
    const Dialect& dialect = session.dialect();
    result.message = refusal(dialect);
    if (!result.message.isEmpty()) {
        result.status = RunResult::Status::Refused;
        return result;
    }
    try {
        report(Phase::Checking);
        session.open();
        const QList<Db::Column> sourceColumns = Db::ColumnTypes(session, m_inputs.sourceTable);
        m_keyValues = keyValues(dialect, sourceColumns);
        { RecordSet probe(session, dialect.probeColumns(m_inputs.sourceTable, m_inputs.columns)); }
        QStringList names;
        for (const Db::Column& column : sourceColumns)
            names << column.name;
        if (m_inputs.dryRun) {
            m_number = dialect.sourceRowNumber(names);
            if (m_number.isEmpty())
                throw DatabaseError(QString(), QStringLiteral("The table has columns named rowid, "
                                                              "_rowid_ and oid, so its rows "
                                                              "cannot be numbered."));
            const QList<qint64> repeats = findRepeats(session, m_inputs.sourceTable, true, result);
            result.rowsRemoved = repeats.size();
            result.rowsKept = result.rowsRead - result.rowsRemoved;
            result.status = RunResult::Status::Done;
            return result;
        }
        m_number = dialect.rowNumber(names);
        if (m_number.isEmpty())
            throw DatabaseError(QString(), QStringLiteral("The table has columns named rowid, "
                                                          "_rowid_ and oid, so its rows cannot "
                                                          "be numbered."));
        const bool replace = tableExists(session);
        if (replace) {
            const QString question =
                QStringLiteral("A table named %1 already exists. Do you want to replace it?")
                    .arg(m_inputs.newTable);
            if (!m_callbacks.confirmReplace || !m_callbacks.confirmReplace(question)) {
                result.status = RunResult::Status::Declined;
                return result;
            }
        }
        const bool transactional = dialect.changesInOneTransaction();
        if (transactional)
            session.execute(dialect.beginChange());
        copyAndNumber(session, replace);
        const QList<qint64> repeats = findRepeats(session, m_inputs.newTable, false, result);
        deleteRows(session, repeats);
        report(Phase::Finishing);
        for (const QString& statement : dialect.dropNumbers(m_inputs.newTable))
            session.execute(statement);
        if (transactional)
            session.execute(dialect.commitChange());
        result.rowsRemoved = repeats.size();
        result.rowsKept = result.rowsRead - result.rowsRemoved;
        result.status = RunResult::Status::Done;
    } catch (const DatabaseError& error) {
        result.status = RunResult::Status::Failed;
        result.message = error.message() + undo(session);
    } catch (const Stopped&) {
        result.status = RunResult::Status::Stopped;
        result.message = undo(session).trimmed();
    }
    return result;
}

void DuplicateRemoval::copyAndNumber(Session& session, bool replace) {
    const Dialect& dialect = session.dialect();
    report(Phase::Copying);
    if (replace)
        session.execute(dialect.dropTable(m_inputs.newTable));
    session.execute(dialect.copyTable(m_inputs.newTable, m_inputs.sourceTable));
    m_copyMade = true;
    report(Phase::Numbering);
    for (const QString& sequence : dialect.leftSequences())
        Db::DropSequence(m_inputs.connection, sequence);
    for (const QString& statement : dialect.numberRows(m_inputs.newTable))
        session.execute(statement);
}

QList<qint64> DuplicateRemoval::findRepeats(Session& session, const QString& table,
                                            bool collectGroups, RunResult& result) {
    report(Phase::Reading);
    StopCheck stop(keepGoingIn(Phase::Reading, result.rowsRead, -1));
    RecordSet rows(session,
                   session.dialect().readKeys(table, m_number, m_keyValues, collectGroups));
    const int fields = static_cast<int>(m_inputs.columns.size());
    RepeatFinder finder([&] { stop.check(); });
    FirstGroups groups;
    QList<qint64> repeats;
    QByteArray key;
    while (rows.next()) {
        stop.poke();
        key.clear();
        for (int field = 1; field <= fields; ++field)
            AppendKeyValue(key, rows.value(field));
        qint64 kept = 0;
        if (const qint64 repeat = finder.offer(key, rows.value(0).toLongLong(), &kept)) {
            repeats.append(repeat);
            if (collectGroups)
                groups.add(kept, repeat, rows, fields);
        }
        ++result.rowsRead;
    }
    result.groups = groups.groups();
    return repeats;
}

void DuplicateRemoval::deleteRows(Session& session, QList<qint64> numbers) {
    std::sort(numbers.begin(), numbers.end());
    const Dialect& dialect = session.dialect();
    const int batch = dialect.deleteBatchSize();
    const QString full = dialect.deleteRows(m_inputs.newTable, m_number, batch);
    qint64 done = 0;
    report(Phase::Removing, done, numbers.size());
    StopCheck stop(keepGoingIn(Phase::Removing, done, numbers.size()));
    for (qsizetype start = 0; start < numbers.size(); start += batch) {
        stop.check();
        const int count = static_cast<int>(std::min<qsizetype>(batch, numbers.size() - start));
        QVariantMap values;
        for (int i = 0; i < count; ++i)
            values.insert(QStringLiteral("n%1").arg(i), numbers.at(start + i));
        session.execute(
            count == batch ? full : dialect.deleteRows(m_inputs.newTable, m_number, count), values);
        done += count;
    }
}

QString DuplicateRemoval::undo(Session& session) {
    if (session.dialect().changesInOneTransaction()) {
        // An open transaction goes with its connection anyway; a session that
        // never opened had none.
        if (session.database().isOpen()) {
            try {
                session.execute(session.dialect().rollbackChange());
            } catch (const DatabaseError&) {
            }
        }
        return QStringLiteral("\n\nNothing was changed in the database.");
    }
    if (!m_copyMade)
        return QStringLiteral("\n\nThe new table was not made.");
    try {
        session.execute(session.dialect().dropTable(m_inputs.newTable));
        return QStringLiteral("\n\nThe unfinished table %1 was removed.").arg(m_inputs.newTable);
    } catch (const DatabaseError&) {
        return QStringLiteral("\n\nThe unfinished table %1 could not be removed; drop it before "
                              "you use it.")
            .arg(m_inputs.newTable);
    }
}
