#pragma once

#include "RunContext.h"
#include "db/Kind.h"
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

// A kind of database as a run meets it: how to connect, and the plan that
// makes the new table there.
class RunKind : public Db::Kind {
public:
    virtual std::unique_ptr<RunPlan> plan(const RunContext& context,
                                          Db::Session& session) const = 0;
    // Puts the rows a run in place removed from `table` back where they were
    // and drops `from`, in one transaction (only tells, with `dryRun`); its
    // rowsKept says how many. Refused where a row's place is taken.
    virtual RunResult restore(Db::Session& session, const QString& table, const QString& from,
                              bool dryRun) const = 0;
};
