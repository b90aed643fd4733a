#pragma once

#include "SqlitePlan.h"

// The run on a SQLite file when the user says which row of a group stays,
// what counts as the same, or what becomes of the removed rows. One
// transaction: the keys are read in the order the rows are judged in, and the
// removed rows go into a temporary list, each with the row kept in its place;
// the new table, the table of removed rows and the report are written from
// that list, so no group is held in memory.
class SqliteJudgedPlan final : public SqlitePlan {
public:
    using SqlitePlan::SqlitePlan;

private:
    RunResult runOn(Db::SqliteFile& file, const SqliteTable::Shape& shape,
                    const QStringList& keyValues) override;
};
