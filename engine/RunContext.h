#pragma once

#include "Run.h"
#include "core/Stop.h"
#include "db/Dialect.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <thread>

namespace Db {
class Session;
} // namespace Db

// Thrown where what the run was given cannot be used, before anything was
// read or changed; the run is refused with `message`.
struct Refusal {
    QString message;
};

// What both ways of making the new table share: the inputs, telling the front
// end how the run goes, the checks on names, and the first groups of a dry run.
class RunContext {
public:
    RunContext(const RunInputs& inputs, const RunCallbacks& callbacks)
        : inputs(inputs), m_callbacks(callbacks) {}

    const RunInputs& inputs;

    // Tells the front end where the run is; throws Stopped when it says stop.
    void report(Phase phase, qint64 done = 0, qint64 total = -1) const;
    // The same, for a StopCheck that watches a loop whose count is `done` of
    // `total`, both read each time it asks.
    KeepGoing keepGoingIn(Phase phase, const qint64& done, const qint64& total) const;
    KeepGoing keepGoingIn(Phase phase, const qint64& done) const;
    KeepGoing keepGoingIn(Phase phase) const;
    // Asks whether an existing table of the new name, or of `table`, may be
    // replaced.
    bool mayReplace() const { return mayReplace(inputs.newTable); }
    bool mayReplace(const QString& table) const;
    // The most rows the run has told of, for a run that ends early.
    qint64 rowsSeen() const { return m_rowsSeen; }
    // The chosen columns as the source has them (its names, its types);
    // throws Refusal when it has no such column (SQLite would read an unknown
    // double-quoted name as a text, the same in every row), DatabaseError when
    // a column's type is no longer the one it was chosen with.
    QList<Db::Column> chosenColumns(const Db::Dialect& dialect,
                                    const QList<Db::Column>& table) const;

private:
    bool tell(const Progress& progress) const;

    const RunCallbacks& m_callbacks;
    mutable qint64 m_rowsSeen = 0;
};

// Why the options cannot be used on a source of these columns, or the empty
// text: a column to order by that it lacks, or one of the names the run
// numbers rows by (`ours`, besides the removed rows' table's own columns).
QString OptionRefusal(const RunInputs& inputs, const QList<Db::Column>& columns,
                      const Db::Dialect& dialect, const QStringList& ours = {});

// The order the rows of a group are judged in: the chosen columns, turned
// round when the last row is to stay; the rows' own numbers break ties.
QStringList JudgingTerms(const RunOptions& options);

// The first `shown` groups of repeats by the number of the row that stays,
// kept small however many groups the table has.
class FirstGroups {
public:
    explicit FirstGroups(int shown) : m_shown(shown) {}
    void add(qint64 kept, qint64 repeat, const std::function<QVariantList()>& values);
    QList<RepeatGroup> groups() const;
    // How many groups had repeats added.
    qint64 count();

private:
    int m_shown;
    std::map<qint64, RepeatGroup> m_groups;
    // The kept row of every repeat added: a number for each is less than a
    // set would take.
    std::vector<qint64> m_kept;
};

// Refuses cleaning `table` in place where the FOREIGN KEYs of the tables
// `referring` refer to it (its deletes would fail, or take their rows too) or
// the `triggers` act on its deletes (they would act on every repeat).
void RefuseObstaclesInPlace(const QString& table, const QStringList& referring,
                            const QStringList& triggers);

// Refuses a copy in which `count` kept rows refer through the FOREIGN KEY of
// `columns` to rows that are removed.
void RefuseDanglingReferences(qint64 count, const QStringList& columns);

// What putting back the rows of `from` into `table` is refused with: it holds
// no rows removed from there; a row holds the place of one of them now (the
// database's `detail` says which).
QString NoRemovedRows(const QString& table, const QString& from);
// Puts the rows of `from` back into `table` in one transaction and drops
// `from` after the commit, where DDL commits on its own (Oracle, MariaDB);
// only tells with `dryRun`. Refused where `from` holds no removed rows of
// `table` or a row's key is taken now.
RunResult PutBackThenDrop(Db::Session& session, const QString& table, const QString& from,
                          bool dryRun);
QString PlaceTaken(const QString& table, const QString& detail);

// What a source, or a new name, that belongs to something other than a table
// is refused with; `what` says what it is ("a view", "an index").
QString NoTableSource(const QString& name, const QString& what);
QString NoTableTarget(const QString& name, const QString& what);

// Why a new name cannot be used, or the empty text when it can.
QString NameRefusal(const RunInputs& inputs, const Db::Dialect& dialect);
// Why `name` cannot be given to a table the run of `inputs` makes, or the
// empty text.
QString MadeNameRefusal(const QString& name, const RunInputs& inputs, const Db::Dialect& dialect);

// Runs `work` on a thread of its own, waited for here while the run's
// receiver is asked how it goes in `phase`. A stop asked for meanwhile sets
// `stopping`, which the work looks at between statements, and calls
// `interrupt` until the work is over, to end the statement it waits on. Work
// that was over before the stop reached it stands: the stop is then too late.
template <typename Work, typename Interrupt>
void RunAside(const RunContext& context, Phase phase, std::atomic<bool>& stopping, Work work,
              Interrupt interrupt) {
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    try {
        while (!done) {
            context.report(phase);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } catch (const Stopped&) {
        stopping = true;
        while (!done) {
            interrupt();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        worker.join();
        if (failure)
            throw;
        return;
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}
