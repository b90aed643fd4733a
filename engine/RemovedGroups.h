#pragma once

#include "Run.h"

#include <QJsonValue>
#include <QSaveFile>
#include <functional>
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

// The groups of a run written to a file, one JSON line each:
// {"key": [values], "kept": ROW, "removed": [ROW, ...]}. The file appears
// only once it is whole and the run is over.
class GroupReport {
public:
    explicit GroupReport(const QString& file) : m_file(file) {}
    // Throws DatabaseError when the file cannot be made.
    void write(RemovedGroups& groups);
    // After the run: false, with the reason in `error`, when it could not be
    // put in place.
    bool commit(QString& error);
    void cancel() { m_file.cancelWriting(); }

private:
    QSaveFile m_file;
    qint64 m_writtenBack = 0;
};

// A key value as the JSON the command line and the report write: NULL as
// null, a blob as the hex text of its bytes.
QJsonValue JsonValueOf(const QVariant& value);

// The first groups a dry run shows.
QList<RepeatGroup> ShownGroups(RemovedGroups& groups);
