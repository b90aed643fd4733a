#pragma once

#include "RunPlan.h"

// The run on a SQLite file, as one transaction: the source is read once
// through SQLite's own interface, and only the first row of each group is
// written into an empty copy that has every column of the source with its
// exact name and declared type.
class WriteSurvivors final : public RunPlan {
public:
    WriteSurvivors(const RunContext& context, Db::Session& session);
    // Changes nothing when it throws.
    RunResult run() override;

private:
    const RunContext& m_context;
    QString m_file;
};
