#pragma once

#include "SqliteDialect.h"
#include "engine/RunPlan.h"

// A SQLite database file, named by its path.
class SqliteKind final : public RunKind {
public:
    bool names(const QString& dataSource) const override;
    const Db::Dialect& dialect() const override { return m_dialect; }
    QString driver() const override { return QStringLiteral("QSQLITE"); }
    QString missingDriver() const override;
    bool logsIn() const override { return false; }
    void check(const Db::ConnectionData& data) const override;
    QStringList files(const Db::ConnectionData& data) const override;
    void configure(QSqlDatabase& database, const Db::ConnectionData& data) const override;
    std::unique_ptr<RunPlan> plan(const RunContext& context, Db::Session& session) const override;
    RunResult restore(Db::Session& session, const QString& table, const QString& from,
                      bool dryRun) const override;

private:
    Db::SqliteDialect m_dialect;
};

// The file a SQLite Data Source names, "~/" expanded.
QString SqliteFileOf(const QString& dataSource);
