#include "MariaDbPlan.h"

#include "db/Catalogue.h"
#include "db/DatabaseError.h"
#include "engine/RemovedGroups.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <QUuid>
#include <map>

using Db::DatabaseError;
using Db::RecordSet;

namespace {

QString firstValue(Db::Session& session, const QString& sql, const QVariantMap& values = {}) {
    RecordSet rows(session, sql, values);
    return rows.next() ? rows.value(0).toString() : QString();
}

// The names a run to `table` works under, marked as Varnolt's own and the
// same for every run to that name, so that the next run finds a leftover.
QString markedName(const QString& mark, const QString& table) {
    return mark +
           QString::fromLatin1(
               QCryptographicHash::hash(table.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

// What the work asks between statements: whether to stop (throws Stopped),
// and, past the point of no return, that no stop reach it any more.
struct Check {
    std::atomic<bool>& stopping;
    std::atomic<qint64>& connection;

    void operator()() const {
        if (stopping)
            throw Stopped{};
    }
    void settle() const { connection = 0; }
};

// Work on a session of its own in a second thread; a stop kills the
// statement running from that session, from this one, idle meanwhile.
template <typename Work>
void aside(const RunContext& context, Db::Session& own, const Db::MariaDbDialect& sql, Phase phase,
           Work work) {
    std::atomic<bool> stopping{false};
    std::atomic<qint64> connection{0};
    RunAside(
        context, phase, stopping,
        [&] {
            Db::Session session(own.kind(), own.connectionData());
            session.open();
            connection = firstValue(session, sql.connectionId()).toLongLong();
            work(session, Check{stopping, connection});
        },
        [&] {
            if (const qint64 running = connection) {
                try {
                    own.execute(sql.killQuery(running));
                } catch (const DatabaseError&) {
                    // The statement ended before the kill reached it.
                }
            }
        });
}

QStringList names(Db::Session& session, const QString& sql, const QString& table) {
    QStringList found;
    RecordSet rows(session, sql, {{QStringLiteral("table_name"), table}});
    while (rows.next())
        found << rows.value(0).toString();
    return found;
}

// The source's FOREIGN KEYs made on `copy`: one that refers to the source
// refers to the copy, and is refused where kept rows would refer to removed
// ones. Constraint names are the database's, not the table's, so each gets a
// name of its own.
void copyForeignKeys(Db::Session& session, const Db::MariaDbDialect& sql, const QString& source,
                     const QString& copy) {
    struct ForeignKey {
        QStringList columns, parentColumns;
        QString schema, parent, onUpdate, onDelete;
    };
    std::map<QString, ForeignKey> keys;
    {
        RecordSet rows(session, sql.foreignKeys(), {{QStringLiteral("table_name"), source}});
        while (rows.next()) {
            ForeignKey& key = keys[rows.value(0).toString()];
            key.columns << rows.value(1).toString();
            key.schema = rows.value(2).toString();
            key.parent = rows.value(3).toString();
            key.parentColumns << rows.value(4).toString();
            key.onUpdate = rows.value(5).toString();
            key.onDelete = rows.value(6).toString();
        }
    }
    const QString database = firstValue(session, QStringLiteral("SELECT DATABASE()"));
    for (const auto& [name, key] : keys) {
        const bool own = key.schema == database && key.parent == source;
        QString parent = Db::Dialect::quoted(own ? copy : key.parent);
        if (key.schema != database)
            parent = Db::Dialect::quoted(key.schema) + QLatin1Char('.') + parent;
        if (own) {
            QStringList parents;
            for (const QString& column : key.parentColumns)
                parents << Db::Dialect::quoted(column);
            RefuseDanglingReferences(
                firstValue(session, sql.danglingReferences(copy, source, key.columns, parents))
                    .toLongLong(),
                key.columns);
        }
        const QString ownName =
            QStringLiteral("varnolt_fk_") +
            QUuid::createUuid().toString(QUuid::Id128).left(Db::MariaDbDialect::kLongestName - 11);
        session.execute(sql.addForeignKey(copy, ownName, key.columns, parent, key.parentColumns,
                                          key.onUpdate, key.onDelete));
    }
}

} // namespace

// The table of removed rows is made first, as its DDL would commit the
// deletes if it came among them; then one transaction locks the rows
// against writers, judges them once, keeps the repeats and deletes them.
RunResult MariaDbPlan::cleanInPlace(const QString& judged, const QStringList& written,
                                    const QStringList& primaryKey, GroupReport& report) {
    const RunInputs& inputs = m_context.inputs;
    const QString& table = inputs.sourceTable;
    const QString& removedInto = inputs.options.removedInto;
    RefuseObstaclesInPlace(table, names(m_session, m_sql.tablesReferringTo(), table),
                           names(m_session, m_sql.deleteTriggers(), table));
    // A stop in the middle of its deletes would leave some done, with the
    // table that kept them dropped.
    if (const QStringList engine = names(m_session, m_sql.engineWithoutTransactions(), table);
        !engine.isEmpty())
        throw Refusal{QStringLiteral("The table %1 cannot be cleaned in place: its engine %2 "
                                     "cannot take back deletes half done. Make a copy that "
                                     "replaces it instead.")
                          .arg(table, engine.first())};
    RunResult result;
    const QStringList numbers{kRowNumberColumn, kKeptNumberColumn};
    bool made = false;
    try {
        aside(m_context, m_session, m_sql, Phase::Removing,
              [&](Db::Session& session, const auto& check) {
                  session.execute(m_sql.createLike(removedInto, table));
                  made = true;
                  session.execute(m_sql.addNumberColumns(removedInto, numbers));
                  check();
                  session.execute(QStringLiteral("START TRANSACTION"));
                  firstValue(session, m_sql.lockRows(table));
                  session.execute(QStringLiteral("CREATE TEMPORARY TABLE varnolt_judged AS ") +
                                  judged);
                  result.rowsRead =
                      firstValue(session, m_sql.rowCount(QStringLiteral("varnolt_judged")))
                          .toLongLong();
                  check();
                  const QString from = QStringLiteral("SELECT * FROM varnolt_judged");
                  QSqlQuery kept(session.database());
                  if (!kept.exec(m_sql.insertRemovedRows(removedInto, from, written, numbers)))
                      throw DatabaseError(kept.lastError());
                  QSqlQuery deleted(session.database());
                  if (!deleted.exec(m_sql.deleteRemovedRows(table, QStringLiteral("varnolt_judged"),
                                                            primaryKey)))
                      throw DatabaseError(deleted.lastError());
                  result.rowsRemoved = deleted.numRowsAffected();
                  if (result.rowsRemoved != kept.numRowsAffected())
                      throw DatabaseError(
                          QString(),
                          QStringLiteral("%1 deleted, but %2 kept aside.")
                              .arg(Rows(result.rowsRemoved), Rows(kept.numRowsAffected())));
                  check();
                  writeReport(session, from, report);
                  check();
                  session.execute(QStringLiteral("COMMIT"));
              });
    } catch (...) {
        report.cancel();
        // The transaction ended with its session; the table made for the
        // removed rows goes too.
        if (made) {
            try {
                m_session.execute(m_sql.dropTable(removedInto));
            } catch (const DatabaseError&) {
                m_leftBehind = true;
                m_remains = QStringLiteral("The rows of %1 are as they were, but the table %2 "
                                           "made for the removed rows could not be dropped.")
                                .arg(table, removedInto);
            }
        }
        throw;
    }
    result.rowsKept = result.rowsRead - result.rowsRemoved;
    result.status = RunResult::Status::Done;
    return result;
}

void MariaDbPlan::writeReport(Db::Session& session, const QString& judged,
                              GroupReport& report) const {
    if (m_context.inputs.options.reportFile.isEmpty())
        return;
    RemovedGroups groups =
        ReadRemovedGroups(session, m_sql.removedRows(judged, int(m_context.inputs.columns.size())));
    report.write(groups);
    report.finish();
}

MariaDbPlan::MariaDbPlan(const RunContext& context, Db::Session& session)
    : m_context(context), m_session(session) {}

RunResult MariaDbPlan::run() {
    const RunInputs& inputs = m_context.inputs;
    const RunOptions& options = inputs.options;
    RunResult result;
    result.status = RunResult::Status::Refused;
    m_context.report(Phase::Checking);
    m_session.open();
    const QVariantMap source{{QStringLiteral("table_name"), inputs.sourceTable}};
    const QString sourceKind = firstValue(m_session, m_sql.relationKind(), source);
    if (sourceKind.isEmpty())
        throw Refusal{Db::TableGone(inputs.sourceTable).text()};
    if (sourceKind != QStringLiteral("BASE TABLE")) {
        result.message = NoTableSource(inputs.sourceTable, QStringLiteral("a view"));
        return result;
    }
    const QList<Db::Column> table = Db::ColumnTypes(m_session, inputs.sourceTable);
    if (result.message = OptionRefusal(inputs, table, m_sql); !result.message.isEmpty())
        return result;
    const QString collation =
        options.ignoreCase ? firstValue(m_session, m_sql.caseCollation()) : QString();
    QStringList keys;
    for (const Db::Column& column : m_context.chosenColumns(m_sql, table))
        keys << Db::MariaDbDialect::groupKey(column.name, column.type, options.ignoreCase,
                                             options.trim, collation);
    // The table's own order: by primary key.
    QStringList order;
    {
        RecordSet key(m_session, m_sql.primaryKey(), source);
        while (key.next())
            order << Db::Dialect::quoted(key.value(0).toString());
    }
    const QStringList columns = Db::NamesOf(table);
    // A table without one is judged in the order a full read returns its
    // rows, read once into a table of the session's own and numbered there,
    // the same in a dry run and a run.
    const bool keyless = order.isEmpty();
    const QString read = keyless ? QStringLiteral("varnolt_numbered") : inputs.sourceTable;
    if (keyless) {
        if (options.inPlace) {
            result.message = QStringLiteral("On MariaDB cleaning in place finds the rows it "
                                            "removes by the primary key, and the table %1 has "
                                            "none. Make a copy that replaces it instead.")
                                 .arg(inputs.sourceTable);
            return result;
        }
        order << Db::Dialect::quoted(QStringLiteral("varnolt_place"));
    }
    const auto readOnce = [&](Db::Session& session) {
        if (keyless)
            session.execute(m_sql.numberedRows(read, inputs.sourceTable, columns));
    };
    const QStringList shown = Db::NamesOf(inputs.columns);
    const QString judged = m_sql.judgedRows(read, columns, keys, order, JudgingTerms(options),
                                            options.keep == RunOptions::Keep::Last, shown);
    GroupReport report(options.reportFile);
    if (inputs.dryRun) {
        try {
            aside(m_context, m_session, m_sql, Phase::Reading,
                  [&](Db::Session& session, const auto& check) {
                      session.execute(QStringLiteral("START TRANSACTION WITH CONSISTENT SNAPSHOT"));
                      readOnce(session);
                      result.rowsRead = firstValue(session, m_sql.rowCount(read)).toLongLong();
                      check();
                      RemovedGroups groups =
                          ReadRemovedGroups(session, m_sql.removedRows(judged, int(shown.size())),
                                            &result.rowsRemoved);
                      ShowGroups(groups, inputs.shownGroups, result);
                      check();
                      writeReport(session, judged, report);
                      session.execute(QStringLiteral("COMMIT"));
                  });
        } catch (...) {
            report.cancel();
            throw;
        }
        result.rowsKept = result.rowsRead - result.rowsRemoved;
        result.status = RunResult::Status::Done;
        return result;
    }
    // Generated columns are read, and computed again by the tables written.
    const QStringList written = Db::WrittenColumns(m_session, inputs.sourceTable);
    const QString targetKind = firstValue(m_session, m_sql.relationKind(),
                                          {{QStringLiteral("table_name"), inputs.newTable}});
    if (!targetKind.isEmpty() && targetKind != QStringLiteral("BASE TABLE")) {
        result.message = NoTableTarget(inputs.newTable, QStringLiteral("a view"));
        return result;
    }
    // A table of removed rows is always a new one: nothing could take a
    // replaced one back once the DDL has committed.
    if (!options.removedInto.isEmpty() &&
        !firstValue(m_session, m_sql.relationKind(),
                    {{QStringLiteral("table_name"), options.removedInto}})
             .isEmpty()) {
        result.message = QStringLiteral("A table named %1 already exists; on MariaDB the removed "
                                        "rows go only into a new table. Please choose another "
                                        "name.")
                             .arg(options.removedInto);
        return result;
    }
    if (options.inPlace)
        return cleanInPlace(judged, written, order, report);
    if (!targetKind.isEmpty() && !m_context.mayReplace()) {
        result.status = RunResult::Status::Declined;
        return result;
    }
    const QString building = markedName(QStringLiteral("varnolt_unfinished_"), inputs.newTable);
    const QString replaced = markedName(QStringLiteral("varnolt_replaced_"), inputs.newTable);
    const QString removedBuilding =
        markedName(QStringLiteral("varnolt_unfinished_removed_"), inputs.newTable);
    const bool judgedOnce = !options.removedInto.isEmpty() || !options.reportFile.isEmpty();
    try {
        aside(
            m_context, m_session, m_sql, Phase::Writing,
            [&](Db::Session& session, const auto& check) {
                if (firstValue(session, m_sql.claimName(),
                               {{QStringLiteral("name"), inputs.newTable}}) != QStringLiteral("1"))
                    throw DatabaseError(QString(), QStringLiteral("Another run is making the table "
                                                                  "%1 now.")
                                                       .arg(inputs.newTable));
                // What a run to this name that crashed left behind.
                for (const QString& leftover : {building, replaced, removedBuilding})
                    session.execute(QStringLiteral("DROP TABLE IF EXISTS ") +
                                    Db::Dialect::quoted(leftover));
                try {
                    session.execute(m_sql.createLike(building, inputs.sourceTable));
                    // Left out before the rows go in, which is then faster
                    // too; the keys stay, as they say what the table holds.
                    const QStringList indexes = options.withoutIndexes
                                                    ? names(session, m_sql.plainIndexes(), building)
                                                    : QStringList();
                    if (!indexes.isEmpty())
                        session.execute(m_sql.dropIndexes(building, indexes));
                    check();
                    // A consistent read, which takes no locks that would keep
                    // writers of the source waiting; where the rows are read more
                    // than once, they are judged once, into a table of the
                    // session's own.
                    session.execute(
                        QStringLiteral("SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED"));
                    readOnce(session);
                    check();
                    QString from = judged;
                    if (judgedOnce) {
                        session.execute(
                            QStringLiteral("CREATE TEMPORARY TABLE varnolt_judged AS ") + judged);
                        from = QStringLiteral("SELECT * FROM varnolt_judged");
                    }
                    result.rowsRead =
                        firstValue(
                            session,
                            m_sql.rowCount(judgedOnce ? QStringLiteral("varnolt_judged") : read))
                            .toLongLong();
                    check();
                    QSqlQuery insert(session.database());
                    const bool plain = !options.judged();
                    if (!insert.exec(
                            plain ? m_sql.insertFirstRows(building, read, written, keys, order)
                                  : m_sql.insertKeptRows(building, from, written)))
                        throw DatabaseError(insert.lastError());
                    result.rowsKept = insert.numRowsAffected();
                    check();
                    copyForeignKeys(session, m_sql, inputs.sourceTable, building);
                    const QString next = firstValue(session, m_sql.nextAutoIncrement(), source);
                    if (!next.isEmpty())
                        session.execute(m_sql.setAutoIncrement(building, next.toLongLong()));
                    if (!options.removedInto.isEmpty()) {
                        session.execute(m_sql.createLike(removedBuilding, inputs.sourceTable));
                        const QStringList numbers{kRowNumberColumn, kKeptNumberColumn};
                        session.execute(m_sql.addNumberColumns(removedBuilding, numbers));
                        QSqlQuery removed(session.database());
                        if (!removed.exec(
                                m_sql.insertRemovedRows(removedBuilding, from, written, numbers)))
                            throw DatabaseError(removed.lastError());
                        check();
                    }
                    writeReport(session, from, report);
                    check();
                    // From here the run finishes; a kill sent just before
                    // may still end one statement, which is then run again.
                    check.settle();
                    const auto surely = [&](const QString& statement) {
                        try {
                            session.execute(statement);
                        } catch (const DatabaseError&) {
                            session.execute(statement);
                        }
                    };
                    if (!options.removedInto.isEmpty())
                        surely(m_sql.rename(removedBuilding, options.removedInto));
                    if (targetKind.isEmpty()) {
                        surely(m_sql.rename(building, inputs.newTable));
                    } else {
                        surely(m_sql.swap(inputs.newTable, building, replaced));
                        surely(m_sql.dropTable(replaced));
                    }
                } catch (...) {
                    for (const QString& unfinished : {building, removedBuilding}) {
                        try {
                            session.execute(QStringLiteral("DROP TABLE IF EXISTS ") +
                                            Db::Dialect::quoted(unfinished));
                        } catch (const DatabaseError&) {
                            m_leftBehind = true;
                            m_remains = QStringLiteral("The unfinished table %1 could not be "
                                                       "removed; the next run to %2 removes it.")
                                            .arg(unfinished, inputs.newTable);
                        }
                    }
                    throw;
                }
            });
    } catch (...) {
        report.cancel();
        throw;
    }
    result.rowsRemoved = result.rowsRead - result.rowsKept;
    result.status = RunResult::Status::Done;
    return result;
}
