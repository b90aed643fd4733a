#include "OracleKind.h"

#include "OraclePlan.h"
#include "db/Catalogue.h"
#include "db/ConnectionData.h"
#include "db/DatabaseError.h"
#include "db/Session.h"

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

// The rows go back in one transaction; the DROP that follows commits it, as
// every DDL statement does on Oracle.
RunResult OracleKind::restore(Db::Session& session, const QString& table, const QString& from,
                              bool dryRun) const {
    RunResult result;
    result.status = RunResult::Status::Refused;
    session.open();
    if (!HoldsRemovedRows(session, table, from)) {
        result.message = NoRemovedRows(table, from);
        return result;
    }
    QSqlDatabase database = session.database();
    if (!database.transaction())
        throw Db::DatabaseError(database.lastError());
    QSqlQuery insert(database);
    if (!insert.exec(
            m_dialect.restoreRows(table, from, Db::ColumnList(session, table), kRowNumberColumn))) {
        const QString detail = insert.lastError().text();
        database.rollback();
        result.message = PlaceTaken(table, detail);
        return result;
    }
    result.rowsKept = insert.numRowsAffected();
    if (dryRun) {
        database.rollback();
    } else {
        if (!database.commit())
            throw Db::DatabaseError(database.lastError());
        session.execute(m_dialect.dropTable(from));
    }
    result.status = RunResult::Status::Done;
    return result;
}

std::unique_ptr<RunPlan> OracleKind::plan(const RunContext& context, Db::Session& session) const {
    return std::make_unique<OraclePlan>(context, session);
}
