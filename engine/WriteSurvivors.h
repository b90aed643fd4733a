#pragma once

#include "SqlitePlan.h"

// The run on a SQLite file, as one transaction: the source is read once
// through SQLite's own interface, and only the first row of each group is
// written into an empty copy that has every column of the source with its
// exact name and declared type.
class WriteSurvivors final : public SqlitePlan {
public:
    using SqlitePlan::SqlitePlan;

private:
    RunResult runOn(Db::SqliteFile& file, const SqliteTable::Shape& shape,
                    const QStringList& keyValues) override;
};
