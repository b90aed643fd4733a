#pragma once

#include "OrderRank.h"
#include "SqliteTable.h"
#include "core/Stop.h"
#include "engine/RepeatFinder.h"
#include "engine/RowKey.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Numbers the rows as they are read in the table's own order: a row's number
// is its rowid, or for a table without rowid its place in that order. Every
// decision rests on the rows coming in that order, so rowids must rise.
class RowOrder {
public:
    explicit RowOrder(const QString& source) : m_source(source) {}
    qint64 next(const Db::RawValue& rowid);
    qint64 number() const { return m_number; }

private:
    QString m_source;
    qint64 m_rows = 0;
    qint64 m_number = 0;
};

// Calls `each` with every row's number and key values in the given order of
// the table, which a scan of it gives without sorting, as SQLite has them in
// place: through a function of the statement rather than as its results,
// which SQLite would copy. A key of more columns than a function takes is
// read as results instead.
using EachKey =
    std::function<void(const Db::RawValue* number, const Db::RawValue* values, int count)>;
class KeyRows {
public:
    KeyRows(Db::SqliteFile& file, const Db::SqliteDialect& sql, const QString& source,
            const QString& number, const QStringList& keyValues, const QString& order,
            EachKey each);
    // Reads the next row; false past the last.
    bool step();

private:
    EachKey m_each;
    std::optional<Db::SqliteFile::Registration> m_function;
    Db::SqliteFile::Statement m_rows;
    std::vector<Db::RawValue> m_values;
};
void ReadKeysInPlace(Db::SqliteFile& file, const Db::SqliteDialect& sql, const QString& source,
                     const QString& number, const QStringList& keyValues, const QString& order,
                     const EachKey& each);

// Tells, for the rows in the order they are offered, which are the first of
// their key. A key too long to keep whole is confirmed by reading its first
// row back by rowid; a table without rowid keeps its keys whole. Given a
// ranking, the rows come in any order, each with its key values followed by
// the values it is ranked by, and the best ranked row of each key is the one
// that stays. With `aside`, each batch is judged on a thread of its own while
// the next is read, and rows are read back on a connection of that thread's
// own.
class FirstRows {
public:
    struct Ranking {
        OrderRank rank;
        // Of equal ranks the last row stays, else the first.
        bool lastOfEqual = false;
        // The lowest and highest number of the rows offered.
        qint64 lowest = 0;
        qint64 highest = 0;
    };
    FirstRows(Db::SqliteFile& file, const Db::SqliteDialect& sql, const SqliteTable::Shape& shape,
              const QString& source, const QStringList& keyValues, bool keptNumbers,
              const KeyFolding& folding, std::function<void()> pulse,
              std::optional<Ranking> ranking = std::nullopt, bool aside = false);
    ~FirstRows();

    // Takes the row numbered `number` with the given key values. Nothing when
    // it is the first of its key; else the number of the row that was, where
    // numbers are kept.
    std::optional<qint64> firstOf(qint64 number, const Db::RawValue* values, int count);
    // The same a batch at a time, so that a batch's lookups wait for memory
    // together: the row is judged when its batch is full or on flush(), and
    // `judged` is then told what offer() says of it, on this thread.
    using Judged = std::function<void(const RepeatFinder::Offer& row)>;
    void add(qint64 number, const Db::RawValue* values, int count, const Judged& judged);
    void flush(const Judged& judged);
    // Makes room for about `rows` keys at once.
    void reserve(qint64 rows);

private:
    // Rows' keys and ranks one after another, where each ends, and the rows.
    struct Batch {
        std::string keys;
        std::vector<std::size_t> ends;
        std::string ranks;
        std::vector<std::size_t> rankEnds;
        std::vector<RepeatFinder::Offer> rows;
        std::vector<QByteArrayView> rankViews;

        // Views into the keys only once the batch is full: the text moves
        // while it grows.
        void point();
        void clear();
        // Offers at most `most` rows from `from` on.
        void offerTo(RepeatFinder& finder, std::size_t from, std::size_t most);
    };
    class Aside;

    void appendKey(std::string& key, const Db::RawValue* values, int count) const;
    void readBack(qint64 rowid, std::string& key);
    void hand(const Judged& judged);

    KeyFolding m_folding;
    std::optional<Ranking> m_ranking;
    std::function<void()> m_pulse;
    std::unique_ptr<Aside> m_aside;
    RepeatFinder m_finder;
    QString m_source;
    Db::SqliteFile& m_file;
    QString m_readRow;
    std::optional<Db::SqliteFile::ReadingBeside> m_beside;
    std::unique_ptr<Db::SqliteFile> m_backFile;
    std::unique_ptr<Db::SqliteFile::Statement> m_back;
    std::string m_key;
    Batch m_batch;
};

// Waits on `changed` until `ready` says so, calling `waiting` (which may
// throw to stop) every few milliseconds with `lock` let go meanwhile: a run
// waiting for a thread of its own still answers the front end.
void WaitAsking(std::condition_variable& changed, std::unique_lock<std::mutex>& lock,
                const std::function<bool()>& ready, const std::function<void()>& waiting);

// How many rows the source has, counted aside while the work goes on; the
// first rows are made room for all of them once the number is known.
class RowTotal {
public:
    RowTotal(Db::SqliteFile& file, const Db::SqliteDialect& sql, const QString& source)
        : m_count(file, sql.rowCount(source)) {}
    // Asked every kRowsPerLook rows.
    void look(FirstRows& rows);
    // True the one time a look finds the total known.
    bool arrived();
    // Waits for the number, asking `stop` meanwhile.
    void wait(StopCheck& stop);
    const qint64& total() const { return m_total; }

    static constexpr qint64 kRowsPerLook = 4096;

private:
    Db::SqliteFile::CountAside m_count;
    qint64 m_total = -1;
};
