#include "OracleKind.h"

#include "OraclePlan.h"
#include "db/ConnectionData.h"

#include <QSqlDatabase>

QString OracleKind::missingDriver() const {
    return QStringLiteral("The Oracle driver (Qt's QOCI plugin) is not installed on this "
                          "computer.");
}

void OracleKind::configure(QSqlDatabase& database, const Db::ConnectionData& data) const {
    database.setDatabaseName(data.sid);
    database.setUserName(data.user);
    database.setPassword(data.password);
    database.setConnectOptions(Db::OracleDialect::kConnectOptions);
}

RunResult OracleKind::restore(Db::Session& session, const QString& table, const QString& from,
                              bool dryRun) const {
    return PutBackThenDrop(session, table, from, dryRun);
}

std::unique_ptr<RunPlan> OracleKind::plan(const RunContext& context, Db::Session& session) const {
    return std::make_unique<OraclePlan>(context, session);
}
