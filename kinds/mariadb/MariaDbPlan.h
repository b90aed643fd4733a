#pragma once

#include "MariaDbDialect.h"
#include "engine/RemovedGroups.h"
#include "engine/RunPlan.h"

// The run on MariaDB, whose DDL commits by itself: the copy is made under a
// name of its own that marks it as unfinished (CREATE TABLE ... LIKE the
// source), filled on the server, and renamed, or swapped with the table it
// replaces in one RENAME TABLE. A stop reaches the server at once (KILL
// QUERY from the run's first session); a stop or a failure drops the
// unfinished copy, and a copy a crash left is dropped by the next run to the
// same name. Cleaning in place deletes the repeats in one transaction after
// keeping them in a new table.
class MariaDbPlan final : public RunPlan {
public:
    MariaDbPlan(const RunContext& context, Db::Session& session);
    RunResult run() override;
    QString remains() const override { return m_remains; }
    bool leftBehind() const override { return m_leftBehind; }

private:
    RunResult cleanInPlace(const QString& judged, const QStringList& written,
                           const QStringList& primaryKey, GroupReport& report);
    // Writes the groups of the `judged` rows to the report, where one is asked for.
    void writeReport(Db::Session& session, const QString& judged, GroupReport& report) const;

    const RunContext& m_context;
    Db::Session& m_session;
    Db::MariaDbDialect m_sql;
    QString m_remains = QStringLiteral("Nothing was changed in the database.");
    bool m_leftBehind = false;
};
