#pragma once

#include "Run.h"
#include "RunPlan.h"

// The name proposed for the copy: the source table's name followed by "2", or
// by "Two" when it already ends in "2", the name cut short where the database
// would not keep it whole.
QString ProposedName(const QString& sourceTable, const Db::Kind& kind);

// Makes a copy of the source table without the rows whose chosen columns repeat
// those of an earlier row, the first row of each group staying. The source
// table is only read, and a run that does not finish leaves no half-made table
// behind; the result says what happened.
class DuplicateRemoval {
public:
    DuplicateRemoval(const RunKind& kind, RunInputs inputs, RunCallbacks callbacks);
    RunResult run();

private:
    const RunKind& m_kind;
    RunInputs m_inputs;
    RunCallbacks m_callbacks;
};
