#pragma once

#include "OracleDialect.h"
#include "engine/RemovedGroups.h"
#include "engine/RunPlan.h"

// The run where every statement commits on its own (Oracle): the copy is made,
// its rows numbered and indexed by number, every row's key read with its
// number from the copy, the repeats deleted by number in batches. Replacing a
// table builds the copy under a temporary name and swaps it in only at the
// end, so a stop or a failure never costs the user's table. Cleaning in place
// makes the table of removed rows first, then copies the repeats into it and
// deletes them, by ROWID in batches, in one transaction.
class OraclePlan final : public RunPlan {
public:
    OraclePlan(const RunContext& context, Db::Session& session);
    RunResult run() override;
    QString remains() const override { return m_remains; }
    // A copy that could not be dropped, or a new table waiting under the
    // temporary name.
    bool leftBehind() const override { return m_leftBehind; }

private:
    // A removed row's number and the number of the row kept in its place.
    struct Removal {
        qint64 row;
        qint64 kept;
    };
    QList<Removal> findRepeats(const QString& table, const QString& number, bool collectGroups,
                               RunResult& result);
    RunResult cleanInPlace(const QList<Db::Column>& columns);
    // How the row numbered `number` is found again.
    QVariant addressOf(qint64 number) const;
    // Reports the groups where asked, then deletes the repeats.
    void removeRepeats(const QString& table, const QList<Removal>& removals,
                       GroupReport& groupReport);
    void deleteRows(const QString& table, QList<qint64> numbers);
    // Makes the table of removed rows, and copies them into it, each with its
    // number and its kept row's.
    void makeRemovedTable(const QString& from, const QList<Db::Column>& columns);
    void keepRemoved(const QString& from, const QList<Removal>& removals,
                     const QList<Db::Column>& columns);
    // Writes the groups to the report, the kept rows' key values read from
    // the copy.
    void report(const QString& copy, QList<Removal> removals, GroupReport& report);
    // Drops the unfinished copy; says what remains.
    QString takeBack(const QString& copy, bool replacing);

    const RunContext& m_context;
    Db::Session& m_session;
    const Db::OracleDialect m_dialect;
    QStringList m_keyValues;
    // The quoted number column of a copy; ROWID in place, where the rows'
    // numbers are their places in the read, and `m_rowids` their ROWIDs.
    QString m_address = Db::Dialect::quoted(Db::OracleDialect::kMarkerColumn);
    QStringList m_rowids;
    bool m_copyMade = false;
    bool m_removedMade = false;
    bool m_leftBehind = false;
    QString m_remains = QStringLiteral("Nothing was changed in the database.");
};
