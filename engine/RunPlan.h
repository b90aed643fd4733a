#pragma once

#include "RunContext.h"
#include "db/Session.h"

#include <memory>

// One way of making the new table, each kind of database its own.
class RunPlan {
public:
    virtual ~RunPlan() = default;
    // Throws DatabaseError, Stopped or std::bad_alloc, having taken back what
    // it made.
    virtual RunResult run() = 0;
    // After a run that did not finish: what it left in the database.
    virtual QString remains() const {
        return QStringLiteral("Nothing was changed in the database.");
    }
    // Whether that is something the user must see to.
    virtual bool leftBehind() const { return false; }
};

// The plan of the session's kind of database.
std::unique_ptr<RunPlan> PlanFor(const RunContext& context, Db::Session& session);
