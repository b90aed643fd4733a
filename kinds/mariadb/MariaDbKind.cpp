#include "MariaDbKind.h"

#include "MariaDbPlan.h"
#include "db/ConnectionData.h"
#include "db/DatabaseError.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

bool MariaDbKind::names(const QString& dataSource) const {
    return dataSource.startsWith(QStringLiteral("mariadb://"), Qt::CaseInsensitive) ||
           dataSource.startsWith(QStringLiteral("mysql://"), Qt::CaseInsensitive);
}

QString MariaDbKind::missingDriver() const {
    return QStringLiteral("The MariaDB driver (Qt's QMYSQL plugin) is not installed on this "
                          "computer.");
}

// The user name and password typed in their boxes take the place of the
// URI's own.
void MariaDbKind::configure(QSqlDatabase& database, const Db::ConnectionData& data) const {
    const QUrl url(data.sid);
    database.setHostName(url.host().isEmpty() ? QStringLiteral("localhost") : url.host());
    if (url.port() > 0)
        database.setPort(url.port());
    database.setDatabaseName(url.path().mid(1));
    database.setUserName(data.user.isEmpty() ? url.userName() : data.user);
    database.setPassword(data.password.isEmpty() ? url.password() : data.password);
    const QString socket =
        QUrlQuery(url).queryItemValue(QStringLiteral("socket"), QUrl::FullyDecoded);
    if (!socket.isEmpty())
        database.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + socket);
}

void MariaDbKind::opened(QSqlDatabase& database) const {
    for (const QString& setting : m_dialect.sessionSettings()) {
        QSqlQuery query(database);
        if (!query.exec(setting))
            throw Db::DatabaseError(query.lastError());
    }
}

std::unique_ptr<RunPlan> MariaDbKind::plan(const RunContext& context, Db::Session& session) const {
    return std::make_unique<MariaDbPlan>(context, session);
}

RunResult MariaDbKind::restore(Db::Session& session, const QString& table, const QString& from,
                               bool dryRun) const {
    return PutBackThenDrop(session, table, from, dryRun);
}
