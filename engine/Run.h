#pragma once

#include "RowKey.h"
#include "core/Values.h"
#include "db/Catalogue.h"
#include "db/ConnectionData.h"

#include <QJsonObject>
#include <QList>
#include <QLocale>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>

// One column of the order in which the rows of a group are judged.
struct OrderTerm {
    QString column;
    bool descending = false;

    bool operator==(const OrderTerm&) const = default;
};

// Which row of each group stays, what counts as the same, and where the
// removed rows go. The default is the first row in the table's own order,
// values compared exactly, and nothing kept of the removed rows.
struct RunOptions {
    enum class Keep { First, Last };
    Keep keep = Keep::First;
    // First and last are judged in this order; the table's own order breaks
    // ties, and is the order when it is empty.
    QList<OrderTerm> orderBy;
    // Texts that differ only in letter case, or in white space at either
    // end, are the same.
    bool ignoreCase = false;
    bool trim = false;
    // A table to make of the removed rows, each with its number and the
    // number of the row that stayed in its place.
    QString removedInto;
    // A file to write every group that had repeats into, one JSON line each.
    QString reportFile;
    // The copy is made without the source's indexes.
    bool withoutIndexes = false;
    // The repeats are removed from the source itself, kept in the table of
    // removed rows, and no copy is made.
    bool inPlace = false;

    KeyFolding folding() const { return {ignoreCase, trim}; }
    bool operator==(const RunOptions&) const = default;

    // Whether a run needs the rows judged other than first come, first kept,
    // or a record of which row each removed one gave way to; texts folded
    // alone change only how keys compare.
    bool judged() const {
        return keep == Keep::Last || !orderBy.isEmpty() || !removedInto.isEmpty() ||
               !reportFile.isEmpty() || inPlace;
    }
};

// The columns the table of removed rows has after the source's: the removed
// row's number and the number of the row kept in its place.
inline const QString kRowNumberColumn = QStringLiteral("VARNOLT_ROW");
inline const QString kKeptNumberColumn = QStringLiteral("VARNOLT_KEPT_ROW");

class QCommandLineParser;
// Declares the options that choose how a run judges, on any command line.
void AddRunOptions(QCommandLineParser& parser);
// The options as the command-line programs take them (--keep, --order-by,
// --ignore-case, --trim, --removed-into, --report), or nothing, with what is
// wrong in `problem`, when one of them is given a value it cannot take.
std::optional<RunOptions> RunOptionsFrom(const QCommandLineParser& options, QString& problem);

// The options as JSON, as the command line prints them and the wizard keeps
// them: keep, order_by ("C" or "C:desc"), ignore_case, trim,
// without_indexes, removed_into and report (null where not given).
QJsonObject JsonOf(const RunOptions& options);
RunOptions RunOptionsFromJson(const QJsonObject& json);

// How many groups of repeats a dry run shows, unless told otherwise.
constexpr int kShownGroups = 10;

// What one run needs, collected by the front end when it starts.
struct RunInputs {
    Db::ConnectionData connection;
    QString sourceTable;
    // The chosen columns, in the chosen order.
    QList<Db::Column> columns;
    QString newTable;
    // Only find the repeats: nothing is made or changed.
    bool dryRun = false;
    RunOptions options = {};
    // A dry run shows this many groups of repeats, the first by the number
    // of the row that stays.
    int shownGroups = kShownGroups;
};

// What the run is doing; a front end shows it in these words.
enum class Phase { Checking, Copying, Numbering, Reading, Removing, Writing, Finishing };
QString PhaseText(Phase phase);

struct Progress {
    Phase phase = Phase::Checking;
    qint64 done = 0;
    // -1 where the database tells no total cheaply.
    qint64 total = -1;
};

struct RunCallbacks {
    // Told every few milliseconds how the run goes; false stops the run, which
    // then takes back what it made.
    std::function<bool(const Progress&)> progress;
    // Asked before an existing table of the new name is replaced; false (the
    // default answer) ends the run with nothing changed.
    std::function<bool(const QString& question)> confirmReplace;
};

// One group of rows with equal keys: the row that stays and those that repeat it.
struct RepeatGroup {
    qint64 kept = 0;
    QList<qint64> repeats;
    QVariantList values;

    bool operator==(const RepeatGroup&) const = default;
};

struct RunResult {
    enum class Status { Done, Refused, Declined, Stopped, Failed };

    Status status = Status::Failed;
    // For Refused, Stopped and Failed: what the user is told.
    QString message;
    qint64 rowsRead = 0;
    qint64 rowsKept = 0;
    qint64 rowsRemoved = 0;
    // A run that did not finish left something in the database that the user
    // must see to; `message` says what. Shown even while the program ends.
    bool leftBehind = false;
    // A dry run's first groups of repeats, by the number of the row that stays,
    // and how many groups have repeats in all.
    QList<RepeatGroup> groups;
    qint64 repeatedGroups = 0;
};

// The inputs as a run takes them: cleaned in place, the source is the table
// the run leaves, and its removed rows are kept in SOURCE_REMOVED unless
// another table is named for them.
RunInputs Prepared(RunInputs inputs);

// What a finished run did, in the words the user is told after "Done.".
QString RunSummary(const RunInputs& inputs, const RunResult& result, const QLocale& locale);
