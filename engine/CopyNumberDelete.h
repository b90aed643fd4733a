#pragma once

#include "RunPlan.h"
#include "db/OracleDialect.h"

// The run where every statement commits on its own (Oracle): the copy is made,
// its rows numbered and indexed by number, every row's key read with its
// number from the copy, the repeats deleted by number in batches. Replacing a
// table builds the copy under a temporary name and swaps it in only at the
// end, so a stop or a failure never costs the user's table.
class CopyNumberDelete final : public RunPlan {
public:
    CopyNumberDelete(const RunContext& context, Db::Session& session);
    RunResult run() override;
    QString remains() const override { return m_remains; }
    // A copy that could not be dropped, or a new table waiting under the
    // temporary name.
    bool leftBehind() const override { return m_leftBehind; }

private:
    QList<qint64> findRepeats(const QString& table, const QString& number, bool collectGroups,
                              RunResult& result);
    void deleteRows(const QString& table, QList<qint64> numbers);
    // Drops the unfinished copy; says what remains.
    QString takeBack(const QString& copy, bool replacing);

    const RunContext& m_context;
    Db::Session& m_session;
    const Db::OracleDialect& m_dialect;
    QStringList m_keyValues;
    bool m_copyMade = false;
    bool m_leftBehind = false;
    QString m_remains = QStringLiteral("Nothing was changed in the database.");
};
