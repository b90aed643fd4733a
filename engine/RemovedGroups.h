#pragma once

#include "Run.h"

#include <QFileDevice>
#include <QJsonValue>
#include <functional>
#include <memory>
#include <optional>

// The removed rows read back ordered by the row kept in their place, made
// into groups one at a time, so that no more than one group is in memory.
class RemovedGroups {
public:
    struct Row {
        qint64 kept = 0;
        qint64 removed = 0;
        // The kept row's key values.
        QVariantList key;
    };
    // `next` gives the next row, or nothing past the last.
    explicit RemovedGroups(std::function<std::optional<Row>()> next) : m_next(std::move(next)) {}
    // Moves to the next group; false past the last.
    bool next();
    const RepeatGroup& group() const { return m_group; }

private:
    std::function<std::optional<Row>()> m_next;
    std::optional<Row> m_row;
    bool m_started = false;
    RepeatGroup m_group;
};

namespace Db {
class Session;
}

// The groups of the removed rows `sql` reads on `session` (the kept row's
// number, the removed row's, the kept row's key values), by kept row;
// `removed`, where given, counts the rows as they are read.
RemovedGroups ReadRemovedGroups(Db::Session& session, const QString& sql,
                                qint64* removed = nullptr);

// The groups of a run written to a file, one JSON line each:
// {"key": [values], "kept": ROW, "removed": [ROW, ...]}; "-" is standard
// output. The file is put in place, whole and on disk, before the run
// commits, so a report that cannot be written takes the run back.
class GroupReport {
public:
    explicit GroupReport(const QString& file);
    // Throws DatabaseError when the file cannot be made or written.
    void write(RemovedGroups& groups);
    // Puts the file in place; throws DatabaseError when it cannot.
    void finish();
    // Takes the report back: an unfinished file never appears, a finished
    // one is removed again.
    void cancel();

private:
    QString m_name;
    std::unique_ptr<QFileDevice> m_file;
    bool m_finished = false;
    qint64 m_writtenBack = 0;
};

// Why `file` cannot take a report of a run on a database kept in
// `databaseFiles`, or the empty text: it is one of them, another database, a
// folder or anything else that is not a plain file.
QString ReportRefusal(const QString& file, const QStringList& databaseFiles);

// A key value as the JSON the command line and the report write: NULL as
// null, a blob as the hex text of its bytes.
QJsonValue JsonValueOf(const QVariant& value);

// The first `shown` groups a dry run shows, and how many there are, into
// `result`.
void ShowGroups(RemovedGroups& groups, int shown, RunResult& result);
