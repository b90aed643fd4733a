#include "PostgresOwnParts.h"

#include "db/DatabaseError.h"
#include "engine/RunContext.h"

#include <map>

using Db::RecordSet;

namespace PostgresOwnParts {

namespace {

struct ForeignKey {
    QString definition;
    bool ownTable = false;
    QString parent;
    QStringList columns;
    QStringList parentColumns;
};

QVariantMap tableOf(const QString& schema, const QString& table) {
    return {{QStringLiteral("schema"), schema}, {QStringLiteral("table_name"), table}};
}

void copyForeignKeys(Db::Session& session, const Db::PostgresDialect& sql, const QString& schema,
                     const RunInputs& inputs, const QString& copy) {
    std::map<qint64, ForeignKey> keys;
    {
        RecordSet rows(session, sql.foreignKeys(), tableOf(schema, inputs.sourceTable));
        while (rows.next()) {
            ForeignKey& key = keys[rows.value(0).toLongLong()];
            key.definition = rows.value(1).toString();
            key.ownTable = rows.value(2).toBool();
            key.parent = rows.value(3).toString();
            key.columns << rows.value(4).toString();
            key.parentColumns << Db::Dialect::quoted(rows.value(5).toString());
        }
    }
    for (auto& [oid, key] : keys) {
        if (key.ownTable) {
            RecordSet dangling(session, sql.danglingReferences(copy, inputs.sourceTable,
                                                               key.columns, key.parentColumns));
            RefuseDanglingReferences(dangling.next() ? dangling.value(0).toLongLong() : 0,
                                     key.columns);
            const QString parent = QStringLiteral("REFERENCES ") + key.parent + QLatin1Char('(');
            if (!key.definition.contains(parent))
                throw Db::DatabaseError(QString(), QStringLiteral("%1; the key cannot be copied "
                                                                  "as it is defined.")
                                                       .arg(key.definition));
            key.definition.replace(parent, QStringLiteral("REFERENCES ") + sql.qualified(copy) +
                                               QLatin1Char('('));
        }
        session.execute(sql.addConstraint(copy, key.definition));
    }
}

// A name derived from the copy's, free in the schema and short enough for
// the server to keep whole.
QString freeName(Db::Session& session, const Db::PostgresDialect& sql, const QString& schema,
                 const QString& base) {
    for (int number = 1;; ++number) {
        const QString tail = number == 1 ? QString() : QLatin1Char('_') + QString::number(number);
        QString name = base;
        while ((name + tail).toUtf8().size() > Db::PostgresDialect::kLongestName)
            name.chop(name.size() > 1 && name.back().isLowSurrogate() ? 2 : 1);
        RecordSet taken(session, sql.nameTaken(), tableOf(schema, name + tail));
        if (taken.next() && taken.value(0).toLongLong() == 0)
            return name + tail;
    }
}

void giveOwnSequences(Db::Session& session, const Db::PostgresDialect& sql, const QString& schema,
                      const RunInputs& inputs, const QString& copy) {
    struct Sequenced {
        QString column;
        QString sequence;
        bool identity = false;
        QString type;
    };
    QList<Sequenced> columns;
    {
        RecordSet rows(session, sql.sequencedColumns(), tableOf(schema, inputs.sourceTable));
        while (rows.next())
            columns.append({rows.value(0).toString(), rows.value(1).toString(),
                            rows.value(2).toBool(), rows.value(3).toString()});
    }
    for (const Sequenced& column : columns) {
        QString own;
        if (column.identity) {
            RecordSet found(session, sql.columnSequence(copy, column.column));
            own = found.next() ? found.value(0).toString() : QString();
        } else {
            const QString name =
                freeName(session, sql, schema,
                         copy + QLatin1Char('_') + column.column + QStringLiteral("_seq"));
            for (const QString& statement : sql.ownSequence(name, copy, column.column, column.type))
                session.execute(statement);
            own = sql.qualified(name);
        }
        RecordSet last(session, sql.lastValue(column.sequence, copy, column.column));
        if (!own.isEmpty() && last.next() && !last.value(0).isNull())
            session.execute(sql.setValue(own), {{QStringLiteral("value"), last.value(0)}});
    }
}

} // namespace

void LeaveOutIndexes(Db::Session& session, const Db::PostgresDialect& sql, const RunInputs& inputs,
                     const QString& copy) {
    if (!inputs.options.withoutIndexes)
        return;
    QStringList indexes;
    {
        RecordSet rows(session, sql.ownIndexes(copy));
        while (rows.next())
            indexes << rows.value(0).toString();
    }
    for (const QString& index : indexes)
        session.execute(QStringLiteral("DROP INDEX ") + index);
}

void Finish(Db::Session& session, const Db::PostgresDialect& sql, const QString& schema,
            const RunInputs& inputs, const QString& copy) {
    copyForeignKeys(session, sql, schema, inputs, copy);
    giveOwnSequences(session, sql, schema, inputs, copy);
}

QString Claim(Db::Session& session, const Db::PostgresDialect& sql, const QString& schema,
              const QString& newTable, bool replacing) {
    RecordSet claimed(session, sql.claimName(),
                      {{QStringLiteral("name"), schema + QLatin1Char('.') + newTable}});
    if (!claimed.next() || !claimed.value(0).toBool())
        throw Db::DatabaseError(
            QString(), QStringLiteral("Another run is making the table %1 now.").arg(newTable));
    return replacing ? freeName(session, sql, schema, newTable + QStringLiteral("_new")) : newTable;
}

void TakeNewName(Db::Session& session, const Db::PostgresDialect& sql, const QString& building,
                 const QString& newTable) {
    if (building == newTable)
        return;
    session.execute(sql.dropTable(newTable));
    session.execute(sql.renameTable(building, newTable));
    QList<std::pair<QString, QString>> derived;
    {
        RecordSet rows(session, sql.derivedNames(newTable, building));
        while (rows.next())
            derived.append({rows.value(0).toString(), rows.value(1).toString()});
    }
    for (const auto& [name, kind] : derived) {
        QString renamed = newTable + name.mid(building.size());
        while (renamed.toUtf8().size() > Db::PostgresDialect::kLongestName)
            renamed.chop(1);
        session.execute(sql.rename(newTable, kind, name, renamed));
    }
}

} // namespace PostgresOwnParts
