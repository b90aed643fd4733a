#pragma once

#include "Run.h"
#include "db/Catalogue.h"
#include "db/Session.h"

// The name proposed for the copy: the source table's name followed by "2", or
// by "Two" when it already ends in "2".
QString ProposedName(const QString& sourceTable);

// Makes a copy of the source table without the rows whose chosen columns repeat
// those of an earlier row. The source table is only read. A run that does not
// finish leaves no half-made table behind: where the database can, the whole
// run is one transaction; elsewhere the unfinished copy is dropped again.
class DuplicateRemoval {
public:
    DuplicateRemoval(RunInputs inputs, RunCallbacks callbacks);
    RunResult run();

private:
    QString refusal(const Db::Dialect& dialect) const;
    // What the key reading selects for each chosen column; throws when the
    // source has no such column.
    QStringList keyValues(const Db::Dialect& dialect, const QList<Db::Column>& sourceColumns) const;
    bool tableExists(Db::Session& session) const;
    // Tells the front end; throws Stopped when it asks to stop.
    void report(Phase phase, qint64 done = 0, qint64 total = -1);
    KeepGoing keepGoingIn(Phase phase, const qint64& done, qint64 total);
    void copyAndNumber(Db::Session& session, bool replace);
    // Reads every row's number and key from `table`; returns the repeats.
    QList<qint64> findRepeats(Db::Session& session, const QString& table, bool collectGroups,
                              RunResult& result);
    void deleteRows(Db::Session& session, QList<qint64> numbers);
    // Takes back what the run changed; returns a sentence for the user.
    QString undo(Db::Session& session);

    RunInputs m_inputs;
    RunCallbacks m_callbacks;
    bool m_copyMade = false;
    QString m_number;
    QStringList m_keyValues;
};
