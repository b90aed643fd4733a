#include "DuplicateRemoval.h"

#include "RemovedGroups.h"
#include "RunPlan.h"
#include "db/DatabaseError.h"
#include "db/Dialect.h"

#include <new>

namespace {

// Runs one plan, turning a failure or a stop into a result that says what
// remains in the database.
RunResult attempt(RunPlan& plan, const RunContext& context, const QString& source) {
    RunResult result;
    result.rowsRead = context.rowsSeen();
    const auto remains = [&] { return plan.remains(); };
    try {
        return plan.run();
    } catch (const Refusal& refusal) {
        result.status = RunResult::Status::Refused;
        result.message = refusal.message;
    } catch (const Db::DatabaseError& error) {
        result.status = RunResult::Status::Failed;
        result.message = error.message() + QStringLiteral("\n\n") + remains();
    } catch (const std::bad_alloc&) {
        // What the run had taken is given back on the way here, so there is
        // memory again to say so.
        result.status = RunResult::Status::Failed;
        result.message =
            QStringLiteral("There was not enough memory to compare the rows of %1.").arg(source) +
            QStringLiteral("\n\n") + remains();
    } catch (const Stopped&) {
        result.status = RunResult::Status::Stopped;
        result.message = remains();
    }
    return result;
}

} // namespace

QString ProposedName(const QString& sourceTable, const Db::Kind& kind) {
    const QString suffix =
        sourceTable.endsWith(QLatin1Char('2')) ? QStringLiteral("Two") : QStringLiteral("2");
    const int longest = kind.dialect().longestName();
    QString name = sourceTable;
    while (longest > 0 && !name.isEmpty() && (name + suffix).toUtf8().size() > longest)
        name.chop(name.size() > 1 && name.back().isLowSurrogate() ? 2 : 1);
    return name + suffix;
}

DuplicateRemoval::DuplicateRemoval(const RunKind& kind, RunInputs inputs, RunCallbacks callbacks)
    : m_kind(kind), m_inputs(Prepared(std::move(inputs))), m_callbacks(std::move(callbacks)) {}

RunResult DuplicateRemoval::run() {
    Db::Session session(m_kind, m_inputs.connection);
    const RunContext context(m_inputs, m_callbacks);
    RunResult refused;
    refused.message = NameRefusal(m_inputs, session.dialect());
    refused.status = RunResult::Status::Refused;
    if (!refused.message.isEmpty() && !m_inputs.dryRun)
        return refused;
    refused.message = ReportRefusal(m_inputs.options.reportFile, m_kind.files(m_inputs.connection));
    if (!refused.message.isEmpty())
        return refused;
    const std::unique_ptr<RunPlan> plan = m_kind.plan(context, session);
    RunResult result = attempt(*plan, context, m_inputs.sourceTable);
    result.leftBehind = plan->leftBehind();
    return result;
}
