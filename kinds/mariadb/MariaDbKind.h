#pragma once

#include "MariaDbDialect.h"
#include "engine/RunPlan.h"

// A MariaDB or MySQL server, named by a "mariadb://" or "mysql://" URI:
// host, port and database, and a local socket as "?socket=/path".
class MariaDbKind final : public RunKind {
public:
    bool names(const QString& dataSource) const override;
    const Db::Dialect& dialect() const override { return m_dialect; }
    QString driver() const override { return QStringLiteral("QMYSQL"); }
    QString missingDriver() const override;
    void configure(QSqlDatabase& database, const Db::ConnectionData& data) const override;
    void opened(QSqlDatabase& database) const override;
    std::unique_ptr<RunPlan> plan(const RunContext& context, Db::Session& session) const override;
    RunResult restore(Db::Session& session, const QString& table, const QString& from,
                      bool dryRun) const override;

private:
    Db::MariaDbDialect m_dialect;
};
