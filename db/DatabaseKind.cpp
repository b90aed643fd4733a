#include "DatabaseKind.h"

#include "ConnectionData.h"
#include "OracleDialect.h"
#include "PostgresDialect.h"
#include "SqliteDialect.h"

#include <QSqlDatabase>
#include <QUrl>
#include <QUrlQuery>

namespace Db {

DatabaseKind KindOf(const QString& dataSource) {
    for (const QString& scheme : {QStringLiteral("postgresql://"), QStringLiteral("postgres://")}) {
        if (dataSource.startsWith(scheme, Qt::CaseInsensitive))
            return DatabaseKind::PostgreSql;
    }
    if (dataSource.startsWith(QStringLiteral("//")))
        return DatabaseKind::Oracle;
    for (const QString& start :
         {QStringLiteral("/"), QStringLiteral("./"), QStringLiteral("../"), QStringLiteral("~/")}) {
        if (dataSource.startsWith(start))
            return DatabaseKind::Sqlite;
    }
    return DatabaseKind::Oracle;
}

namespace {

void configureOracle(QSqlDatabase& database, const ConnectionData& data) {
    database.setDatabaseName(data.sid);
    database.setUserName(data.user);
    database.setPassword(data.password);
    database.setConnectOptions(OracleDialect::kConnectOptions);
}

// libpq's URI form: postgresql://host:port/dbname, a socket folder as
// ?host=/path. User name and password come from their own boxes.
void configurePostgres(QSqlDatabase& database, const ConnectionData& data) {
    const QUrl uri(data.sid);
    const QUrlQuery query(uri);
    QString host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (host.isEmpty())
        host = uri.host();
    database.setHostName(host);
    if (uri.port() > 0)
        database.setPort(uri.port());
    const QString name = uri.path(QUrl::FullyDecoded).mid(1);
    database.setDatabaseName(name.isEmpty() ? data.user : name);
    database.setUserName(data.user);
    database.setPassword(data.password);
    database.setConnectOptions(QStringLiteral("application_name=Varnolt"));
}

} // namespace

KindSupport SupportFor(DatabaseKind kind) {
    switch (kind) {
    case DatabaseKind::Sqlite:
        return {std::make_unique<SqliteDialect>(), QString(), nullptr, QString()};
    case DatabaseKind::PostgreSql:
        return {std::make_unique<PostgresDialect>(), QStringLiteral("QPSQL"), configurePostgres,
                QStringLiteral("The PostgreSQL driver (Qt's QPSQL plugin) is not installed on "
                               "this computer.")};
    case DatabaseKind::Oracle:
        break;
    }
    return {std::make_unique<OracleDialect>(), QStringLiteral("QOCI"), configureOracle,
            QStringLiteral("The Oracle driver (Qt's QOCI plugin) is not installed on this "
                           "computer.")};
}

} // namespace Db
