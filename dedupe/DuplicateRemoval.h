#pragma once

#include "oracle/Catalogue.h"
#include "oracle/Session.h"

#include <QStringList>
#include <functional>
#include <memory>

// What one run needs, collected from the pages when it starts.
struct RunInputs {
    QString connectionString;
    QString sourceTable;
    // The chosen columns, in the chosen order.
    QStringList columns;
    QString newTable;
};

struct RunCallbacks {
    // Called every few milliseconds while the keys are read; false stops the
    // run, which then removes what it made.
    std::function<bool()> keepGoing;
    // Asked before an existing table of the new name is replaced; false (the
    // default answer) ends the run with nothing changed.
    std::function<bool(const QString& question)> confirmReplace;
};

struct RunResult {
    enum class Status { Done, Refused, Declined, Stopped, Failed };

    Status status = Status::Failed;
    // For Refused and Failed: what the user is told.
    QString message;
    qint64 rowsRead = 0;
    qint64 rowsDeleted = 0;
    // For Done: the run's session, open, to show the new table with.
    std::shared_ptr<Oracle::Session> session;
};

// Makes a copy of the source table without the rows whose chosen columns repeat
// those of an earlier row. The source table is only read. A run that does not
// finish leaves no half-made table behind: SQLite undoes the whole run, and on
// Oracle the new table is dropped again.
class DuplicateRemoval {
public:
    DuplicateRemoval(RunInputs inputs, RunCallbacks callbacks);
    RunResult run();

private:
    struct Stop {};

    QString refusal(const Oracle::Dialect& dialect) const;
    // What the key reading selects for each chosen column; throws when the
    // source has no such column.
    QStringList keyValues(const Oracle::Dialect& dialect,
                          const QList<Oracle::Column>& sourceColumns) const;
    bool tableExists(Oracle::Session& session) const;
    void copyAndNumber(Oracle::Session& session, bool replace);
    QList<qint64> findRepeats(Oracle::Session& session, RunResult& result);
    void deleteRows(Oracle::Session& session, QList<qint64> numbers);
    void dropSequence() const;
    // Takes back what the run changed; returns a sentence for the user when
    // something could not be taken back.
    QString undo(Oracle::Session& session);

    RunInputs m_inputs;
    RunCallbacks m_callbacks;
    bool m_copyMade = false;
    QString m_number;
    QStringList m_keyValues;
};
