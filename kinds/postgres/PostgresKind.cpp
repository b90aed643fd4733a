#include "PostgresKind.h"

#include "PostgresPlan.h"
#include "db/ConnectionData.h"

#include <QSqlDatabase>
#include <QUrl>
#include <QUrlQuery>

bool PostgresKind::names(const QString& dataSource) const {
    return dataSource.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
           dataSource.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive);
}

QString PostgresKind::missingDriver() const {
    return QStringLiteral("The PostgreSQL driver (Qt's QPSQL plugin) is not installed on this "
                          "computer.");
}

// libpq's URI form: postgresql://host:port/dbname, a socket folder as
// ?host=/path. User name and password come from their own boxes.
void PostgresKind::configure(QSqlDatabase& database, const Db::ConnectionData& data) const {
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

std::unique_ptr<RunPlan> PostgresKind::plan(const RunContext& context, Db::Session& session) const {
    return std::make_unique<PostgresPlan>(context, session);
}
