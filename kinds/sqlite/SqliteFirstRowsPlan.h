#pragma once

#include "SqlitePlan.h"

// The run on a SQLite file, as one transaction: the source's keys are read
// through SQLite's own interface and judged, then only the first row of each
// group is written into an empty copy that has every column of the source
// with its exact name and declared type. Memory holds each distinct key once
// (a fingerprint where it is long) and the decisions on the rows the judge
// has read ahead of the copy.
class SqliteFirstRowsPlan final : public SqlitePlan {
public:
    using SqlitePlan::SqlitePlan;

private:
    RunResult runOn(Db::SqliteFile& file, const SqliteTable::Shape& shape,
                    const QStringList& keyValues) override;
};
