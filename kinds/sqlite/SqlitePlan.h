#pragma once

#include "SqliteKind.h"
#include "SqliteTable.h"
#include "engine/RunPlan.h"

// A run on a SQLite file: the tables are looked at, and what cannot be copied
// refused, before the plan's own work.
class SqlitePlan : public RunPlan {
public:
    SqlitePlan(const RunContext& context, Db::Session& session)
        : m_context(context), m_file(SqliteFileOf(session.connectionData().sid)) {}
    // Changes nothing when it throws.
    RunResult run() final;

protected:
    // The work on the tables `shape` describes, their key columns read as
    // `keyValues`.
    virtual RunResult runOn(Db::SqliteFile& file, const SqliteTable::Shape& shape,
                            const QStringList& keyValues) = 0;

    const RunContext& m_context;
    const Db::SqliteDialect m_sql;

private:
    QString m_file;
};
