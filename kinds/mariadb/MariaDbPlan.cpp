#include "MariaDbPlan.h"

#include "db/Catalogue.h"
#include "db/DatabaseError.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

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

// Work on a session of its own in a second thread, waited for here while the
// run's receiver is asked how it goes; a stop kills the statement running
// from this thread's session, which is idle meanwhile.
template <typename Work>
void aside(const RunContext& context, Db::Session& own, const Db::MariaDbDialect& sql, Phase phase,
           Work work) {
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    std::atomic<bool> stopping{false};
    std::atomic<qint64> connection{0};
    std::thread worker([&] {
        try {
            Db::Session session(own.kind(), own.connectionData());
            session.open();
            connection = firstValue(session, sql.connectionId()).toLongLong();
            work(session, [&] {
                if (stopping)
                    throw Stopped{};
            });
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    try {
        while (!done) {
            context.report(phase);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } catch (const Stopped&) {
        stopping = true;
        while (!done) {
            if (const qint64 running = connection) {
                try {
                    own.execute(sql.killQuery(running));
                } catch (const DatabaseError&) {
                    // The statement ended before the kill reached it.
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        worker.join();
        throw;
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

MariaDbPlan::MariaDbPlan(const RunContext& context, Db::Session& session)
    : m_context(context), m_session(session) {}

RunResult MariaDbPlan::run() {
    const RunInputs& inputs = m_context.inputs;
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
    if (inputs.options.judged() || inputs.options.ignoreCase || inputs.options.trim) {
        result.message = QStringLiteral("On MariaDB the first row of each group in the table's "
                                        "own order stays, and values compare exactly; the other "
                                        "options are not there yet.");
        return result;
    }
    QStringList keys;
    for (const Db::Column& column :
         m_context.chosenColumns(m_sql, Db::ColumnTypes(m_session, inputs.sourceTable)))
        keys << Db::MariaDbDialect::groupKey(column.name, column.type);
    QStringList order;
    {
        RecordSet key(m_session, m_sql.primaryKey(), source);
        while (key.next())
            order << Db::Dialect::quoted(key.value(0).toString());
    }
    if (order.isEmpty()) {
        result.message = QStringLiteral("On MariaDB the table %1 needs a primary key, which says "
                                        "which row of a group comes first.")
                             .arg(inputs.sourceTable);
        return result;
    }
    if (inputs.dryRun) {
        aside(m_context, m_session, m_sql, Phase::Reading,
              [&](Db::Session& session, const auto& check) {
                  session.execute(QStringLiteral("START TRANSACTION WITH CONSISTENT SNAPSHOT"));
                  result.rowsRead =
                      firstValue(session, m_sql.rowCount(inputs.sourceTable)).toLongLong();
                  check();
                  RecordSet counts(session, m_sql.groupCount(inputs.sourceTable, keys));
                  if (counts.next()) {
                      result.rowsKept = counts.value(0).toLongLong();
                      result.repeatedGroups = counts.value(1).toLongLong();
                  }
                  check();
                  RecordSet groups(session, m_sql.firstGroups(inputs.sourceTable, keys,
                                                              Db::NamesOf(inputs.columns), order,
                                                              inputs.shownGroups));
                  while (groups.next()) {
                      RepeatGroup group;
                      group.kept = groups.value(0).toLongLong();
                      for (const QString& repeat : groups.value(1).toString().split(','))
                          group.repeats << repeat.toLongLong();
                      for (int i = 2; i < groups.fieldCount(); ++i)
                          group.values << groups.value(i);
                      result.groups << group;
                  }
                  session.execute(QStringLiteral("COMMIT"));
              });
        result.rowsRemoved = result.rowsRead - result.rowsKept;
        result.status = RunResult::Status::Done;
        return result;
    }
    const QString targetKind = firstValue(m_session, m_sql.relationKind(),
                                          {{QStringLiteral("table_name"), inputs.newTable}});
    if (!targetKind.isEmpty() && targetKind != QStringLiteral("BASE TABLE")) {
        result.message = NoTableTarget(inputs.newTable, QStringLiteral("a view"));
        return result;
    }
    if (!targetKind.isEmpty() && !m_context.mayReplace()) {
        result.status = RunResult::Status::Declined;
        return result;
    }
    const QString building = markedName(QStringLiteral("varnolt_unfinished_"), inputs.newTable);
    const QString replaced = markedName(QStringLiteral("varnolt_replaced_"), inputs.newTable);
    const QStringList columns = Db::NamesOf(Db::ColumnTypes(m_session, inputs.sourceTable));
    aside(
        m_context, m_session, m_sql, Phase::Writing, [&](Db::Session& session, const auto& check) {
            if (firstValue(session, m_sql.claimName(),
                           {{QStringLiteral("name"), inputs.newTable}}) != QStringLiteral("1"))
                throw DatabaseError(QString(), QStringLiteral("Another run is making the table %1 "
                                                              "now.")
                                                   .arg(inputs.newTable));
            // What a run to this name that crashed left behind.
            for (const QString& leftover : {building, replaced})
                session.execute(QStringLiteral("DROP TABLE IF EXISTS ") +
                                Db::Dialect::quoted(leftover));
            try {
                session.execute(m_sql.createLike(building, inputs.sourceTable));
                check();
                // A consistent read, which takes no locks that would keep writers
                // of the source waiting.
                session.execute(
                    QStringLiteral("SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED"));
                result.rowsRead =
                    firstValue(session, m_sql.rowCount(inputs.sourceTable)).toLongLong();
                QSqlQuery insert(session.database());
                if (!insert.exec(
                        m_sql.insertFirstRows(building, inputs.sourceTable, columns, keys, order)))
                    throw DatabaseError(insert.lastError());
                result.rowsKept = insert.numRowsAffected();
                check();
                if (targetKind.isEmpty()) {
                    session.execute(m_sql.rename(building, inputs.newTable));
                } else {
                    session.execute(m_sql.swap(inputs.newTable, building, replaced));
                    session.execute(m_sql.dropTable(replaced));
                }
            } catch (...) {
                try {
                    session.execute(m_sql.dropTable(building));
                } catch (const DatabaseError&) {
                    m_leftBehind = true;
                    m_remains = QStringLiteral("The unfinished copy %1 could not be removed; the "
                                               "next run to %2 removes it.")
                                    .arg(building, inputs.newTable);
                }
                throw;
            }
        });
    result.rowsRead = std::max(result.rowsRead, result.rowsKept);
    result.rowsRemoved = result.rowsRead - result.rowsKept;
    result.status = RunResult::Status::Done;
    return result;
}
