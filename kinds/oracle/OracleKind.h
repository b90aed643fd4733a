#pragma once

#include "OracleDialect.h"
#include "engine/RunPlan.h"

// An Oracle database: a net service name, EZConnect string or descriptor,
// whatever names no other kind.
class OracleKind final : public RunKind {
public:
    bool names(const QString&) const override { return true; }
    const Db::Dialect& dialect() const override { return m_dialect; }
    QString driver() const override { return QStringLiteral("QOCI"); }
    QString missingDriver() const override;
    void configure(QSqlDatabase& database, const Db::ConnectionData& data) const override;
    std::unique_ptr<RunPlan> plan(const RunContext& context, Db::Session& session) const override;
    RunResult restore(Db::Session& session, const QString& table, const QString& from,
                      bool dryRun) const override;

private:
    Db::OracleDialect m_dialect;
};
