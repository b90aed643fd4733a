#include "PostgresPlan.h"

#include "PostgresOwnParts.h"

#include "engine/RemovedGroups.h"

#include "PostgresDialect.h"
#include "ServerCancel.h"
#include "db/Catalogue.h"
#include "db/DatabaseError.h"

#include <atomic>
#include <memory>

using Db::DatabaseError;
using Db::PostgresDialect;
using Db::RecordSet;

namespace {

// The first row of a query on the table `table` of `schema`, its values as
// texts.
QStringList firstRow(Db::Session& session, const QString& sql, const QString& schema,
                     const QString& table) {
    QVariantMap bound{{QStringLiteral("table_name"), table}};
    if (sql.contains(QStringLiteral(":schema")))
        bound.insert(QStringLiteral("schema"), schema);
    RecordSet rows(session, sql, bound);
    QStringList values;
    if (rows.next()) {
        for (int field = 0; field < rows.fieldCount(); ++field)
            values << rows.value(field).toString();
    }
    return values;
}

QStringList texts(Db::Session& session, const QString& sql, const QString& schema,
                  const QString& table) {
    QStringList values;
    RecordSet rows(session, sql,
                   {{QStringLiteral("table_name"), table}, {QStringLiteral("schema"), schema}});
    while (rows.next())
        values << rows.value(0).toString();
    return values;
}

qint64 number(Db::Session& session, const QString& sql) {
    RecordSet rows(session, sql);
    return rows.next() ? rows.value(0).toLongLong() : 0;
}

// Everything that decides a run, read before the question and again inside
// the transaction, which must find it unchanged.
struct Shape {
    // The schema the source is found in, where the new tables are made too.
    QString schema;
    QString sourceKind;
    // Whether reading the source reads other tables' rows too (partitions,
    // inheritance children), whose row addresses repeat its own.
    bool hasChildren = false;
    QString targetKind;
    QString removedKind;
    QList<Db::Column> columns;
    QStringList writable;
    QList<Db::Column> primaryKey;

    bool operator==(const Shape&) const = default;
};

Shape shapeOf(Db::Session& session, const PostgresDialect& sql, const RunInputs& inputs) {
    Shape shape;
    const QStringList source = firstRow(session, sql.visibleRelation(), {}, inputs.sourceTable);
    if (source.isEmpty())
        throw Refusal{Db::TableGone(inputs.sourceTable).text()};
    shape.schema = source.at(0);
    shape.sourceKind = source.at(1);
    shape.hasChildren = source.at(2) == QStringLiteral("true");
    shape.targetKind =
        firstRow(session, sql.relationKind(), shape.schema, inputs.newTable).value(0);
    if (!inputs.options.removedInto.isEmpty())
        shape.removedKind =
            firstRow(session, sql.relationKind(), shape.schema, inputs.options.removedInto)
                .value(0);
    shape.columns = Db::ColumnTypes(session, inputs.sourceTable);
    shape.writable = texts(session, sql.writableColumns(), shape.schema, inputs.sourceTable);
    RecordSet key(session, sql.primaryKey(),
                  {{QStringLiteral("table_name"), inputs.sourceTable},
                   {QStringLiteral("schema"), shape.schema}});
    while (key.next())
        shape.primaryKey << Db::Column{key.value(0).toString(), key.value(1).toString()};
    return shape;
}

void requireUnchanged(Db::Session& session, const PostgresDialect& sql, const RunInputs& inputs,
                      const Shape& shape) {
    if (!(shapeOf(session, sql, inputs) == shape))
        throw DatabaseError(QString(),
                            QStringLiteral("The table %1 or %2 was changed by someone else while "
                                           "the run was being prepared.")
                                .arg(inputs.sourceTable, inputs.newTable));
}

// A dry run's first groups of repeats, as the SQLite run shows them.
QList<RepeatGroup> firstGroups(Db::Session& session, const PostgresDialect& sql,
                               const RunInputs& inputs, const QStringList& keys,
                               const QStringList& order) {
    QList<RepeatGroup> groups;
    RecordSet rows(session, sql.firstGroups(inputs.sourceTable, keys, Db::NamesOf(inputs.columns),
                                            order, inputs.shownGroups));
    while (rows.next()) {
        RepeatGroup group;
        group.kept = rows.value(0).toLongLong();
        const QString repeats = rows.value(1).toString();
        for (const QString& repeat :
             repeats.mid(1, repeats.size() - 2).split(QLatin1Char(','), Qt::SkipEmptyParts))
            group.repeats << repeat.toLongLong();
        for (int key = 0; key < keys.size(); ++key)
            group.values << rows.value(2 + key);
        groups << group;
    }
    return groups;
}

bool isTable(const QString& kind) {
    return kind == QStringLiteral("r") || kind == QStringLiteral("p");
}

QString kindName(const QString& kind) {
    if (kind == QStringLiteral("v") || kind == QStringLiteral("m"))
        return QStringLiteral("a view");
    if (kind == QStringLiteral("i") || kind == QStringLiteral("I"))
        return QStringLiteral("an index");
    if (kind == QStringLiteral("S"))
        return QStringLiteral("a sequence");
    return QStringLiteral("a foreign or other object");
}

// The chosen columns as the run groups them.
QStringList keysOf(const RunContext& context, Db::Session& session, const PostgresDialect& sql,
                   const Shape& shape) {
    const RunOptions& options = context.inputs.options;
    QString collation;
    if (options.ignoreCase) {
        RecordSet found(session, sql.unicodeCollation());
        if (found.next())
            collation = found.value(0).toString();
    }
    QStringList keys;
    for (const Db::Column& column : context.chosenColumns(sql, shape.columns))
        keys << PostgresDialect::groupKey(column.name, column.type, options.ignoreCase,
                                          options.trim, collation);
    return keys;
}

// The table's own order: by primary key, or by the rows' places where it has
// none; a row's place is its table's and its address in it where the source
// reads the rows of other tables too.
QStringList orderOf(const Shape& shape) {
    if (!shape.primaryKey.isEmpty())
        return Db::Dialect::quotedList(Db::NamesOf(shape.primaryKey)).split(QStringLiteral(", "));
    if (shape.hasChildren)
        return {QStringLiteral("tableoid"), QStringLiteral("ctid")};
    return {QStringLiteral("ctid")};
}

// Whether the first row of a group can be found with min() on its one column
// of order, which not every type has (uuid has none).
bool foundByMin(const Shape& shape) {
    static const QStringList withMin{QStringLiteral("smallint"),
                                     QStringLiteral("integer"),
                                     QStringLiteral("bigint"),
                                     QStringLiteral("numeric"),
                                     QStringLiteral("real"),
                                     QStringLiteral("double precision"),
                                     QStringLiteral("text"),
                                     QStringLiteral("character varying"),
                                     QStringLiteral("character"),
                                     QStringLiteral("date"),
                                     QStringLiteral("money"),
                                     QStringLiteral("timestamp without time zone"),
                                     QStringLiteral("timestamp with time zone")};
    return shape.primaryKey.isEmpty()
               ? !shape.hasChildren
               : shape.primaryKey.size() == 1 && withMin.contains(shape.primaryKey.first().type);
}

// Why the options cannot be used on this source, or the empty text.
QString judgedRefusal(const Shape& shape, const RunInputs& inputs, const PostgresDialect& sql) {
    const RunOptions& options = inputs.options;
    if (!inputs.dryRun && !options.removedInto.isEmpty() && !shape.removedKind.isEmpty() &&
        !isTable(shape.removedKind))
        return NoTableTarget(options.removedInto, kindName(shape.removedKind));
    return OptionRefusal(inputs, shape.columns, sql);
}

void refuseCleaningInPlace(Db::Session& session, const PostgresDialect& sql, const QString& schema,
                           const QString& table) {
    RefuseObstaclesInPlace(table, texts(session, sql.tablesReferringTo(), schema, table),
                           texts(session, sql.deleteTriggers(), schema, table));
}

// Work on a session of its own in a second thread; a stop cancels the
// statement running there.
class Aside {
public:
    Aside(const RunContext& context, const Db::Session& session)
        : m_context(context), m_kind(session.kind()), m_data(session.connectionData()) {}

    // `work` is given its session and a check to make between statements,
    // which throws Stopped once a stop was asked for.
    template <typename Work> void run(Phase phase, Work work) {
        std::atomic<bool> stopping{false};
        const auto check = [&] {
            if (stopping)
                throw Stopped{};
        };
        // Shared, so that a cancel under way when the work ends still has it.
        std::atomic<std::shared_ptr<const Db::ServerCancel>> cancel;
        RunAside(
            m_context, phase, stopping,
            [&] {
                Db::Session session(m_kind, m_data);
                session.open();
                cancel = std::make_shared<const Db::ServerCancel>(session);
                try {
                    work(session, check);
                } catch (...) {
                    cancel.store(nullptr);
                    throw;
                }
                cancel.store(nullptr);
            },
            // The statement ends as soon as the server hears; what it did is
            // rolled back with its transaction.
            [&] {
                if (const auto running = cancel.load())
                    running->cancel();
            });
    }

private:
    const RunContext& m_context;
    const Db::Kind& m_kind;
    const Db::ConnectionData& m_data;
};

// The removed list read back by kept row, with the kept row's key values.
RemovedGroups removedGroups(Db::Session& session, const PostgresDialect& sql,
                            const RunInputs& inputs) {
    return ReadRemovedGroups(
        session, sql.readRemovedGroups(inputs.sourceTable, Db::NamesOf(inputs.columns)));
}

// Statements whose rows affected must be as many as the run counted.
void changeCounted(Db::Session& session, const QString& statement, qint64 rows) {
    QSqlQuery insert(session.database());
    if (!insert.exec(statement))
        throw DatabaseError(insert.lastError());
    if (insert.numRowsAffected() != rows)
        throw DatabaseError(QString(), QStringLiteral("%1 written instead of %2.")
                                           .arg(Rows(insert.numRowsAffected()), Rows(rows)));
}

// The run when the user says which row stays, what counts as the same or
// what becomes of the removed rows: the server judges every row with a
// window over its group and lists the removed ones in a temporary table, from
// which the tables and the report are made.
RunResult judgedRun(const RunContext& context, Aside& aside, const PostgresDialect& sql,
                    const Shape& shape, const QStringList& keys, const QStringList& order) {
    const RunInputs& inputs = context.inputs;
    const RunOptions& options = inputs.options;
    RunResult result;
    QStringList judged;
    for (const OrderTerm& term : options.orderBy)
        judged << Db::Dialect::quoted(term.column);
    GroupReport report(options.reportFile);
    try {
        aside.run(inputs.dryRun ? Phase::Reading : Phase::Writing, [&](Db::Session& session,
                                                                       const auto& check) {
            session.execute(sql.beginSnapshot());
            const bool inPlace = options.inPlace && !inputs.dryRun;
            if (inPlace)
                session.execute(sql.lockAgainstWriters(inputs.sourceTable));
            const QString building =
                inputs.dryRun || options.inPlace
                    ? QString()
                    : PostgresOwnParts::Claim(session, sql, shape.schema, inputs.newTable,
                                              !shape.targetKind.isEmpty());
            requireUnchanged(session, sql, inputs, shape);
            result.rowsRead = number(session, sql.rowCount(inputs.sourceTable));
            check();
            session.execute(sql.listRemoved(inputs.sourceTable, keys, order, judged,
                                            JudgingTerms(options),
                                            options.keep == RunOptions::Keep::Last));
            result.rowsRemoved = number(session, sql.countRemoved());
            result.rowsKept = result.rowsRead - result.rowsRemoved;
            check();
            const auto make = [&](const QString& name, const QString& existing) {
                if (!existing.isEmpty())
                    session.execute(sql.dropTable(name));
                session.execute(sql.createCopy(name, inputs.sourceTable));
                check();
            };
            if (inputs.dryRun) {
                RemovedGroups groups = removedGroups(session, sql, inputs);
                ShowGroups(groups, inputs.shownGroups, result);
            } else if (!inPlace) {
                make(building, QString());
                PostgresOwnParts::LeaveOutIndexes(session, sql, inputs, building);
                changeCounted(
                    session,
                    sql.insertUnremovedRows(building, inputs.sourceTable, shape.writable, order),
                    result.rowsKept);
                PostgresOwnParts::Finish(session, sql, shape.schema, inputs, building);
            }
            if (!inputs.dryRun && !options.removedInto.isEmpty()) {
                make(options.removedInto, shape.removedKind);
                for (const QString& column : {kRowNumberColumn, kKeptNumberColumn})
                    session.execute(sql.addNumberColumn(options.removedInto, column));
                changeCounted(session,
                              sql.insertRemovedRows(options.removedInto, inputs.sourceTable,
                                                    shape.writable,
                                                    {kRowNumberColumn, kKeptNumberColumn}),
                              result.rowsRemoved);
            }
            if (inPlace)
                changeCounted(session, sql.deleteRemovedRows(inputs.sourceTable),
                              result.rowsRemoved);
            check();
            if (!options.reportFile.isEmpty()) {
                RemovedGroups groups = removedGroups(session, sql, inputs);
                report.write(groups);
                report.finish();
            }
            if (!inputs.dryRun && !inPlace)
                PostgresOwnParts::TakeNewName(session, sql, building, inputs.newTable);
            session.execute(inputs.dryRun ? QStringLiteral("ROLLBACK") : QStringLiteral("COMMIT"));
        });
    } catch (...) {
        report.cancel();
        throw;
    }
    result.status = RunResult::Status::Done;
    return result;
}

} // namespace

PostgresPlan::PostgresPlan(const RunContext& context, Db::Session& session)
    : m_context(context), m_session(session) {}

RunResult PostgresPlan::run() {
    const RunInputs& inputs = m_context.inputs;
    RunResult result;
    m_context.report(Phase::Checking);
    m_session.open();
    const Shape shape = shapeOf(m_session, PostgresDialect(), inputs);
    const PostgresDialect sql(shape.schema);
    result.status = RunResult::Status::Refused;
    if (!isTable(shape.sourceKind)) {
        result.message = NoTableSource(inputs.sourceTable, kindName(shape.sourceKind));
        return result;
    }
    if (!inputs.dryRun && !shape.targetKind.isEmpty() && !isTable(shape.targetKind)) {
        result.message = NoTableTarget(inputs.newTable, kindName(shape.targetKind));
        return result;
    }
    const QStringList keys = keysOf(m_context, m_session, sql, shape);
    const QStringList order = orderOf(shape);
    Aside aside(m_context, m_session);
    if (inputs.options.judged()) {
        result.message = judgedRefusal(shape, inputs, sql);
        if (!result.message.isEmpty())
            return result;
        if (inputs.options.inPlace && !inputs.dryRun)
            refuseCleaningInPlace(m_session, sql, shape.schema, inputs.sourceTable);
        if (!inputs.dryRun &&
            ((!inputs.options.inPlace && !shape.targetKind.isEmpty() && !m_context.mayReplace()) ||
             (!shape.removedKind.isEmpty() && !m_context.mayReplace(inputs.options.removedInto)))) {
            result.status = RunResult::Status::Declined;
            return result;
        }
        return judgedRun(m_context, aside, sql, shape, keys, order);
    }
    if (inputs.dryRun) {
        aside.run(Phase::Reading, [&](Db::Session& session, const auto& check) {
            session.execute(sql.beginSnapshot());
            result.rowsRead = number(session, sql.rowCount(inputs.sourceTable));
            check();
            RecordSet counts(session, sql.groupCount(inputs.sourceTable, keys));
            if (counts.next()) {
                result.rowsKept = counts.value(0).toLongLong();
                result.repeatedGroups = counts.value(1).toLongLong();
            }
            check();
            result.groups = firstGroups(session, sql, inputs, keys, order);
            session.execute(QStringLiteral("ROLLBACK"));
        });
        result.rowsRemoved = result.rowsRead - result.rowsKept;
        result.status = RunResult::Status::Done;
        return result;
    }
    if (!shape.targetKind.isEmpty() && !m_context.mayReplace()) {
        result.status = RunResult::Status::Declined;
        return result;
    }
    aside.run(Phase::Writing, [&](Db::Session& session, const auto& check) {
        session.execute(sql.beginSnapshot());
        const QString building = PostgresOwnParts::Claim(
            session, sql, shape.schema, inputs.newTable, !shape.targetKind.isEmpty());
        requireUnchanged(session, sql, inputs, shape);
        check();
        result.rowsRead = number(session, sql.rowCount(inputs.sourceTable));
        check();
        session.execute(sql.createCopy(building, inputs.sourceTable));
        PostgresOwnParts::LeaveOutIndexes(session, sql, inputs, building);
        check();
        QSqlQuery insert(session.database());
        if (!insert.exec(sql.insertFirstRows(building, inputs.sourceTable, shape.writable, keys,
                                             order, foundByMin(shape))))
            throw DatabaseError(insert.lastError());
        result.rowsKept = insert.numRowsAffected();
        check();
        PostgresOwnParts::Finish(session, sql, shape.schema, inputs, building);
        check();
        PostgresOwnParts::TakeNewName(session, sql, building, inputs.newTable);
        session.execute(QStringLiteral("COMMIT"));
    });
    result.rowsRemoved = result.rowsRead - result.rowsKept;
    result.status = RunResult::Status::Done;
    return result;
}
