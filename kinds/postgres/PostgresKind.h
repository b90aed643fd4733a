#pragma once

#include "PostgresDialect.h"
#include "engine/RunPlan.h"

// A PostgreSQL server, named by a "postgresql://" or "postgres://" URI.
class PostgresKind final : public RunKind {
public:
    bool names(const QString& dataSource) const override;
    const Db::Dialect& dialect() const override { return m_dialect; }
    QString driver() const override { return QStringLiteral("QPSQL"); }
    QString missingDriver() const override;
    void check(const Db::ConnectionData& data) const override;
    bool findsPasswords() const override { return true; }
    void configure(QSqlDatabase& database, const Db::ConnectionData& data) const override;
    std::unique_ptr<RunPlan> plan(const RunContext& context, Db::Session& session) const override;
    RunResult restore(Db::Session& session, const QString& table, const QString& from,
                      bool dryRun) const override;

private:
    Db::PostgresDialect m_dialect;
};
