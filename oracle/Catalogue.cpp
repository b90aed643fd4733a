#include "Catalogue.h"

#include "DatabaseError.h"
#include "app/Main.h"

namespace Oracle {

bool CanConnect(const QString& connectionString) {
    try {
        Session session(connectionString);
        session.open();
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

namespace {
QStringList firstColumn(Session& session, const QString& sql, const QVariantMap& values,
                        const YieldFn& yield) {
    QStringList names;
    RecordSet rows(session, sql, values);
    while (rows.next()) {
        if (yield)
            yield();
        names << Main::NullToDefault(rows.value(0), QString()).toString();
    }
    return names;
}
} // namespace

QList<Column> ColumnTypes(Session& session, const QString& table) {
    QList<Column> columns;
    RecordSet rows(session, session.dialect().columnTypes(),
                   {{QStringLiteral("table_name"), table}});
    while (rows.next())
        columns.append({rows.value(0).toString(), rows.value(1).toString()});
    return columns;
}

QStringList TableList(Session& session, const YieldFn& yield) {
    return firstColumn(session, session.dialect().tableList(), {}, yield);
}

QStringList ColumnList(Session& session, const QString& table, const YieldFn& yield) {
    return firstColumn(session, session.dialect().columnList(),
                       {{QStringLiteral("table_name"), table}}, yield);
}

} // namespace Oracle
