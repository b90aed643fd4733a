#include "Catalogue.h"

#include "DatabaseError.h"
#include "core/Values.h"

namespace Db {

std::optional<DatabaseError> ConnectError(const Kind& kind, const ConnectionData& data) {
    try {
        Session session(kind, data);
        session.open();
        return std::nullopt;
    } catch (const DatabaseError& error) {
        return error;
    }
}

bool CanConnect(const Kind& kind, const ConnectionData& data) {
    return !ConnectError(kind, data);
}

void DropLeftovers(const Kind& kind, const ConnectionData& data, const QStringList& statements) {
    Session own(kind, data);
    own.open();
    for (const QString& statement : statements) {
        try {
            own.execute(statement);
        } catch (const DatabaseError&) {
        }
    }
}

void DropSequence(const Kind& kind, const ConnectionData& data, const QString& sequence) {
    DropLeftovers(kind, data, {QStringLiteral("DROP SEQUENCE ") + sequence});
}

namespace {
QStringList firstColumn(Session& session, const QString& sql, const QVariantMap& values,
                        const KeepGoing& keepGoing) {
    QStringList names;
    StopCheck stop(keepGoing);
    RecordSet rows(session, sql, values);
    while (rows.next()) {
        stop.poke();
        names << NullToDefault(rows.value(0), QString()).toString();
    }
    return names;
}
} // namespace

DatabaseError TableGone(const QString& table) {
    return DatabaseError(QString(), QStringLiteral("There is no table %1.").arg(table));
}

namespace {
// Every table has a column, so a table without any is one that someone else
// dropped since it was listed.
template <typename List> List requireColumns(List columns, const QString& table) {
    if (columns.isEmpty())
        throw TableGone(table);
    return columns;
}
} // namespace

QList<Column> ColumnsNamed(const QStringList& names) {
    QList<Column> columns;
    for (const QString& name : names)
        columns.append({name, QString()});
    return columns;
}

QStringList NamesOf(const QList<Column>& columns) {
    QStringList names;
    for (const Column& column : columns)
        names << column.name;
    return names;
}

QList<Column> ColumnTypes(Session& session, const QString& table) {
    QList<Column> columns;
    RecordSet rows(session, session.dialect().columnTypes(),
                   {{QStringLiteral("table_name"), table}});
    while (rows.next())
        columns.append({rows.value(0).toString(), rows.value(1).toString()});
    return requireColumns(columns, table);
}

QStringList TableList(Session& session, const KeepGoing& keepGoing) {
    return firstColumn(session, session.dialect().tableList(), {}, keepGoing);
}

QStringList ColumnList(Session& session, const QString& table, const KeepGoing& keepGoing) {
    return requireColumns(firstColumn(session, session.dialect().columnList(),
                                      {{QStringLiteral("table_name"), table}}, keepGoing),
                          table);
}

QStringList WrittenColumns(Session& session, const QString& table) {
    return firstColumn(session, session.dialect().writtenColumns(),
                       {{QStringLiteral("table_name"), table}}, {});
}

} // namespace Db
