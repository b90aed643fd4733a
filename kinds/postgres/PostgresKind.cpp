#include "PostgresKind.h"

#include "PostgresPlan.h"
#include "db/ConnectionData.h"

#include "db/Catalogue.h"
#include "db/DatabaseError.h"
#include "db/Session.h"

#include <QSqlDatabase>
#include <libpq-fe.h>
#include <vector>

QString PostgresKind::missingDriver() const {
    return QStringLiteral("The PostgreSQL driver (Qt's QPSQL plugin) is not installed on this "
                          "computer.");
}

namespace {

// The SID's parameters as libpq itself reads them, URI and key=value form
// alike, or the reason it cannot.
struct Parameters {
    std::vector<std::pair<QByteArray, QByteArray>> given;
    QString problem;
};

Parameters parametersOf(const QString& sid) {
    Parameters parameters;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(sid.toUtf8().constData(), &error);
    if (!options) {
        parameters.problem =
            error ? QString::fromUtf8(error).trimmed() : QStringLiteral("out of memory");
        PQfreemem(error);
        return parameters;
    }
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        if (option->val)
            parameters.given.emplace_back(option->keyword, option->val);
    }
    PQconninfoFree(options);
    return parameters;
}

// A value in libpq's key=value form, quoted where it must be.
QByteArray quotedValue(QByteArray value) {
    value.replace('\\', "\\\\").replace('\'', "\\'");
    return '\'' + value + '\'';
}

} // namespace

// A URI, or libpq's key=value form (an Oracle descriptor has '=' too, but
// libpq does not read it).
bool PostgresKind::names(const QString& dataSource) const {
    return dataSource.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
           dataSource.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive) ||
           (dataSource.contains(QLatin1Char('=')) && parametersOf(dataSource).problem.isEmpty());
}

void PostgresKind::check(const Db::ConnectionData& data) const {
    const Parameters parameters = parametersOf(data.sid);
    if (!parameters.problem.isEmpty())
        throw Db::DatabaseError(QString(), QStringLiteral("The connection string %1 cannot be "
                                                          "read: %2")
                                               .arg(data.sid, parameters.problem));
}

// Every parameter the SID gives goes to the connection; the user name and
// password typed in their boxes take the place of the SID's own, and where
// neither gives them libpq looks in the PG* environment, the service file
// and the password file, as psql does.
void PostgresKind::configure(QSqlDatabase& database, const Db::ConnectionData& data) const {
    QStringList options{QStringLiteral("application_name=Varnolt")};
    for (const auto& [keyword, value] : parametersOf(data.sid).given) {
        const QString text = QString::fromUtf8(value);
        if (keyword == "host")
            database.setHostName(text);
        else if (keyword == "port")
            database.setPort(text.toInt());
        else if (keyword == "dbname")
            database.setDatabaseName(text);
        else if (keyword == "user")
            database.setUserName(text);
        else if (keyword == "password")
            database.setPassword(text);
        else if (keyword != "application_name")
            options << QString::fromUtf8(keyword + '=' + quotedValue(value));
    }
    if (!data.user.isEmpty())
        database.setUserName(data.user);
    if (!data.password.isEmpty())
        database.setPassword(data.password);
    database.setConnectOptions(options.join(QLatin1Char(';')));
}

// A row whose key is taken now fails the insert, which takes back the whole
// transaction.
RunResult PostgresKind::restore(Db::Session& session, const QString& table, const QString& from,
                                bool dryRun) const {
    RunResult result;
    result.status = RunResult::Status::Refused;
    session.open();
    Db::RecordSet found(session, m_dialect.visibleRelation(),
                        {{QStringLiteral("table_name"), table}});
    QStringList kept;
    try {
        kept = Db::NamesOf(Db::ColumnTypes(session, from));
    } catch (const Db::DatabaseError&) {
        // No such table: said below as of any table that is not one.
    }
    if (!found.next() || !kept.contains(kRowNumberColumn)) {
        result.message = NoRemovedRows(table, from);
        return result;
    }
    const Db::PostgresDialect sql(found.value(0).toString());
    QStringList columns;
    Db::RecordSet writable(session, sql.writableColumns(),
                           {{QStringLiteral("table_name"), table},
                            {QStringLiteral("schema"), found.value(0).toString()}});
    while (writable.next())
        columns << writable.value(0).toString();
    session.execute(sql.beginSnapshot());
    try {
        QSqlQuery insert(session.database());
        if (!insert.exec(sql.restoreRows(table, from, columns, kRowNumberColumn)))
            throw Db::DatabaseError(insert.lastError());
        result.rowsKept = insert.numRowsAffected();
        session.execute(sql.dropTable(from));
        session.execute(dryRun ? QStringLiteral("ROLLBACK") : QStringLiteral("COMMIT"));
    } catch (const Db::DatabaseError& error) {
        session.execute(QStringLiteral("ROLLBACK"));
        result.message = PlaceTaken(table, error.text());
        return result;
    }
    result.status = RunResult::Status::Done;
    return result;
}

std::unique_ptr<RunPlan> PostgresKind::plan(const RunContext& context, Db::Session& session) const {
    return std::make_unique<PostgresPlan>(context, session);
}
