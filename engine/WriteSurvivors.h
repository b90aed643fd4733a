#pragma once

#include "RunContext.h"

// The run on a SQLite file, as one transaction: the source is read once
// through SQLite's own interface, and only the first row of each group is
// written into an empty copy that has every column of the source with its
// exact name and declared type.
class WriteSurvivors {
public:
    WriteSurvivors(const RunContext& context, QString file);
    // Throws DatabaseError or Stopped, with nothing changed.
    RunResult run();

private:
    const RunContext& m_context;
    QString m_file;
};
