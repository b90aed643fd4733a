#pragma once

#include "SqliteReading.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

// Judges the keys of the source, in the table's own order, on a connection
// and a thread of their own, ahead of the statement that copies the rows that
// stay: on two cores the keys are judged while the rows are written. The
// judge keeps a few chunks of decisions ahead of the copy, each decision with
// the number of its row, so that the copy can tell it is taking the same rows
// in the same order.
class JudgingAhead {
public:
    // Made before the writing connection writes anything: the judge's
    // statement is ready, and its first row read, by the time this returns.
    JudgingAhead(Db::SqliteFile& writer, const SqliteTable::Shape& shape, const QString& source,
                 const QStringList& keyValues, const KeyFolding& folding);
    // Stops a judge still going.
    ~JudgingAhead();
    JudgingAhead(const JudgingAhead&) = delete;
    JudgingAhead& operator=(const JudgingAhead&) = delete;

    // Whether the writing connection must wait for all the keys to be judged
    // before it writes: where writing moves pages, the judge would miss them.
    bool judgesFirst() const { return m_judgesFirst; }
    // The number of rows the source has, once counted: room is made for them.
    void expect(qint64 rows) { m_expected = rows; }
    // Whether the next row of the copy, whose rowid is `rowid` (null without
    // rowid), stays. While the judge is behind, `waiting` is called every few
    // milliseconds; it may throw to stop.
    bool stays(const Db::RawValue& rowid, const std::function<void()>& waiting);
    // Waits, calling `waiting`, until every row is judged; throws what the
    // judge threw. Only where the judge judges first.
    void waitForAll(const std::function<void()>& waiting);
    // Once the copy is over: whether it took every decision the judge made.
    bool allTaken(const std::function<void()>& waiting);
    // Rows judged so far, and how many of them repeat an earlier one.
    qint64 judged() const { return m_judged; }
    qint64 repeats() const { return m_repeats; }

private:
    struct Chunk {
        std::vector<qint64> numbers;
        std::vector<bool> stays;
    };
    void hand(Chunk& chunk);
    // True once a chunk is there to take, false when the judge is done.
    bool nextChunk(const std::function<void()>& waiting);
    // Waits until `ready`, calling `waiting` every few milliseconds; then
    // throws what the judge threw, if it did.
    void waitUntil(std::unique_lock<std::mutex>& lock, const std::function<void()>& waiting,
                   const std::function<bool()>& ready);

    const bool m_judgesFirst;
    std::unique_ptr<Db::SqliteFile> m_file;
    std::unique_ptr<FirstRows> m_firstRows;
    RowOrder m_order;
    Chunk m_filling;
    std::unique_ptr<KeyRows> m_rows;
    bool m_rowRead = false;
    std::atomic<qint64> m_expected = -1;
    std::atomic<qint64> m_judged = 0;
    std::atomic<qint64> m_repeats = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Chunk> m_ready;
    bool m_done = false;
    std::atomic<bool> m_stopping = false;
    std::exception_ptr m_error;
    std::thread m_thread;

    // The copy's side, on cache lines of its own: sharing one with the
    // judge's row count, which the judge writes for every row, made each row
    // of the copy wait for the line to come back from the other core.
    alignas(64) RowOrder m_copyOrder;
    Chunk m_taking;
    std::size_t m_at = 0;
};
