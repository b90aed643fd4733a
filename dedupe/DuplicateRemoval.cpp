#include "DuplicateRemoval.h"

#include "RepeatFinder.h"
#include "RowKey.h"
#include "ZizEzevo.h"
#include "oracle/Catalogue.h"
#include "oracle/DatabaseError.h"

#include <algorithm>

using Oracle::DatabaseError;
using Oracle::Dialect;
using Oracle::OracleDialect;
using Oracle::RecordSet;
using Oracle::Session;

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
                                        const QList<Oracle::Column>& sourceColumns) const {
    QStringList values;
    for (const QString& chosen : m_inputs.columns) {
        const auto found = std::find_if(
            sourceColumns.begin(), sourceColumns.end(),
            [&](const Oracle::Column& column) { return dialect.sameName(column.name, chosen); });
        if (found == sourceColumns.end())
            throw DatabaseError(
                QString(),
                QStringLiteral("The table %1 has no column %2.").arg(m_inputs.sourceTable, chosen));
        values << dialect.keyValue(chosen, found->type);
    }
    return values;
}

bool DuplicateRemoval::tableExists(Session& session) const {
    const QStringList tables = Oracle::TableList(session, {});
    return std::any_of(tables.begin(), tables.end(), [&](const QString& table) {
        return session.dialect().sameName(table, m_inputs.newTable);
    });
}

RunResult DuplicateRemoval::run() {
    RunResult result;
    auto session = std::make_shared<Session>(m_inputs.connectionString);
    const Dialect& dialect = session->dialect();
    result.message = refusal(dialect);
    if (!result.message.isEmpty()) {
        result.status = RunResult::Status::Refused;
        return result;
    }
    try {
        session->open();
        const QList<Oracle::Column> sourceColumns =
            Oracle::ColumnTypes(*session, m_inputs.sourceTable);
        m_keyValues = keyValues(dialect, sourceColumns);
        { RecordSet probe(*session, dialect.probeColumns(m_inputs.sourceTable, m_inputs.columns)); }
        QStringList names;
        for (const Oracle::Column& column : sourceColumns)
            names << column.name;
        m_number = dialect.rowNumber(names);
        if (m_number.isEmpty())
            throw DatabaseError(QString(), QStringLiteral("The table has columns named rowid, "
                                                          "_rowid_ and oid, so its rows cannot "
                                                          "be numbered."));
        const bool replace = tableExists(*session);
        if (replace) {
            const QString question =
                QStringLiteral("A table named %1 already exists. Do you want to replace it?")
                    .arg(m_inputs.newTable);
            if (!m_callbacks.confirmReplace || !m_callbacks.confirmReplace(question)) {
                result.status = RunResult::Status::Declined;
                return result;
            }
        }
        const bool transactional = !dialect.beginChange().isEmpty();
        if (transactional)
            session->execute(dialect.beginChange());
        copyAndNumber(*session, replace);
        const QList<qint64> repeats = findRepeats(*session, result);
        deleteRows(*session, repeats);
        for (const QString& statement : dialect.dropNumbers(m_inputs.newTable))
            session->execute(statement);
        if (transactional)
            session->execute(dialect.commitChange());
        result.rowsDeleted = repeats.size();
        result.status = RunResult::Status::Done;
        result.session = std::move(session);
    } catch (const DatabaseError& error) {
        result.status = RunResult::Status::Failed;
        result.message = error.message() + undo(*session);
    } catch (const Stop&) {
        undo(*session);
        result.status = RunResult::Status::Stopped;
    }
    return result;
}

void DuplicateRemoval::copyAndNumber(Session& session, bool replace) {
    const Dialect& dialect = session.dialect();
    if (replace)
        session.execute(dialect.dropTable(m_inputs.newTable));
    session.execute(dialect.copyTable(m_inputs.newTable, m_inputs.sourceTable));
    m_copyMade = true;
    if (dialect.kind() == Dialect::Kind::Oracle)
        dropSequence();
    for (const QString& statement : dialect.numberRows(m_inputs.newTable))
        session.execute(statement);
}

void DuplicateRemoval::dropSequence() const {
    Session own(m_inputs.connectionString);
    own.open();
    // The sequence is left by the previous run, or there is none yet.
    try {
        own.execute(static_cast<const OracleDialect&>(own.dialect()).dropSequence());
    } catch (const DatabaseError&) {
    }
}

QList<qint64> DuplicateRemoval::findRepeats(Session& session, RunResult& result) {
    bool stop = false;
    ZizEzevo::YieldThrottle throttle([&] {
        if (m_callbacks.keepGoing && !m_callbacks.keepGoing())
            stop = true;
    });
    RecordSet rows(session, session.dialect().readKeys(m_inputs.newTable, m_number, m_keyValues));
    const int fields = static_cast<int>(m_inputs.columns.size());
    RepeatFinder finder([&] { throttle.check(); });
    QList<qint64> repeats;
    QByteArray key;
    while (rows.next()) {
        throttle.poke();
        if (stop)
            throw Stop{};
        key.clear();
        for (int field = 1; field <= fields; ++field)
            AppendKeyValue(key, rows.value(field));
        if (const qint64 repeat = finder.offer(key, rows.value(0).toLongLong()))
            repeats.append(repeat);
        ++result.rowsRead;
    }
    return repeats;
}

void DuplicateRemoval::deleteRows(Session& session, QList<qint64> numbers) {
    std::sort(numbers.begin(), numbers.end());
    const Dialect& dialect = session.dialect();
    const int batch = dialect.deleteBatchSize();
    const QString full = dialect.deleteRows(m_inputs.newTable, m_number, batch);
    for (qsizetype start = 0; start < numbers.size(); start += batch) {
        const int count = static_cast<int>(std::min<qsizetype>(batch, numbers.size() - start));
        QVariantMap values;
        for (int i = 0; i < count; ++i)
            values.insert(QStringLiteral("n%1").arg(i), numbers.at(start + i));
        session.execute(
            count == batch ? full : dialect.deleteRows(m_inputs.newTable, m_number, count), values);
    }
}

QString DuplicateRemoval::undo(Session& session) {
    if (!session.dialect().beginChange().isEmpty()) {
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
