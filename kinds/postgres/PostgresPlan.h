#pragma once

#include "engine/RunPlan.h"

// The run on a PostgreSQL server: the copy is made there, in one transaction
// that reads one snapshot of the source: an empty table like the source, then
// the first row of each group written in one statement. A replaced table is
// dropped in the same transaction, so a stop or a failure leaves it as it was.
// The statements run on a session of their own in a second thread, so the
// window stays alive, and a stop cancels the one running on the server.
class PostgresPlan final : public RunPlan {
public:
    PostgresPlan(const RunContext& context, Db::Session& session);
    RunResult run() override;

private:
    const RunContext& m_context;
    Db::Session& m_session;
};
