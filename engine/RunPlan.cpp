#include "RunPlan.h"

#include "CopyNumberDelete.h"
#include "JudgedCopy.h"
#include "PostgresCopy.h"
#include "WriteSurvivors.h"

std::unique_ptr<RunPlan> PlanFor(const RunContext& context, Db::Session& session) {
    switch (session.connectionData().kind()) {
    case Db::DatabaseKind::Sqlite:
        if (context.inputs.options.judged())
            return std::make_unique<JudgedCopy>(context, session);
        return std::make_unique<WriteSurvivors>(context, session);
    case Db::DatabaseKind::PostgreSql:
        return std::make_unique<PostgresCopy>(context, session);
    case Db::DatabaseKind::Oracle:
        break;
    }
    return std::make_unique<CopyNumberDelete>(context, session);
}
