#include "SqliteReading.h"

#include "db/DatabaseError.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using Db::DatabaseError;

qint64 RowOrder::next(const Db::RawValue& rowid) {
    ++m_rows;
    if (rowid.kind != Db::RawValue::Kind::Integer)
        return m_number = m_rows;
    if (m_rows > 1 && rowid.integer <= m_number)
        throw DatabaseError(
            QString(),
            QStringLiteral("The rows of %1 were not read in their own order.").arg(m_source));
    return m_number = rowid.integer;
}

namespace {

// The most arguments SQLite lets a function take, by default and as
// Debian builds it; the row's number is one of them.
constexpr int kMostArguments = 127;
const QString kJudge = QStringLiteral("varnolt_judge");

bool inPlace(const QStringList& keyValues) {
    return keyValues.size() < kMostArguments;
}

} // namespace

KeyRows::KeyRows(Db::SqliteFile& file, const Db::SqliteDialect& sql, const QString& source,
                 const QString& number, const QStringList& keyValues, const QString& order,
                 EachKey each)
    : m_each(std::move(each)),
      m_function(inPlace(keyValues) ? std::optional<Db::SqliteFile::Registration>(
                                          std::in_place, file, kJudge,
                                          [this](const Db::RawValue* arguments, int count) {
                                              m_each(arguments, arguments + 1, count - 1);
                                              return true;
                                          })
                                    : std::nullopt),
      m_rows(file, inPlace(keyValues) ? sql.judgeRows(source, kJudge, number, keyValues, order)
                                      : sql.readKeys(source, number, keyValues, order)),
      m_values(m_function ? 0 : std::size_t(keyValues.size()) + 1) {}

bool KeyRows::step() {
    if (!m_rows.step())
        return false;
    if (m_function)
        return true;
    for (std::size_t field = 0; field < m_values.size(); ++field)
        m_values[field] = m_rows.value(int(field));
    m_each(m_values.data(), m_values.data() + 1, int(m_values.size()) - 1);
    return true;
}

void ReadKeysInPlace(Db::SqliteFile& file, const Db::SqliteDialect& sql, const QString& source,
                     const QString& number, const QStringList& keyValues, const QString& order,
                     const EachKey& each) {
    KeyRows rows(file, sql, source, number, keyValues, order, each);
    while (rows.step())
        ;
}

namespace {
// Rows whose lookups wait for memory together.
constexpr std::size_t kRowsPerBatch = 64;
// Rows handed to the thread aside at once: fewer, and the two threads would
// spend their time waking each other.
constexpr std::size_t kRowsPerHand = 4096;
} // namespace

// The thread a batch is judged on, and the batch it judges.
class FirstRows::Aside {
public:
    explicit Aside(RepeatFinder& finder)
        : m_thread([this, &finder] {
              std::unique_lock lock(m_mutex);
              while (true) {
                  m_changed.wait(lock, [this] { return m_stopping || m_waiting; });
                  if (m_stopping)
                      return;
                  lock.unlock();
                  try {
                      if (m_reserve > 0)
                          finder.reserve(std::size_t(m_reserve.exchange(0)));
                      for (std::size_t at = 0; at < working.rows.size(); at += kRowsPerBatch)
                          working.offerTo(finder, at, kRowsPerBatch);
                  } catch (...) {
                      m_error = std::current_exception();
                  }
                  lock.lock();
                  m_waiting = false;
                  m_changed.notify_all();
              }
          }) {}
    ~Aside() {
        stop();
        m_thread.join();
    }
    void stop() {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }
    bool stopping() const { return m_stopping; }
    // Waits for the batch being judged, `pulse` asked meanwhile.
    void wait(const std::function<void()>& pulse) {
        std::unique_lock lock(m_mutex);
        WaitAsking(
            m_changed, lock, [this] { return !m_waiting; }, pulse);
        if (m_error)
            std::rethrow_exception(std::exchange(m_error, nullptr));
    }
    void start() {
        const std::lock_guard lock(m_mutex);
        m_waiting = true;
        m_changed.notify_all();
    }
    void reserve(qint64 rows) { m_reserve = rows; }

    Batch working;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_stopping = false;
    std::atomic<qint64> m_reserve = 0;
    bool m_waiting = false;
    std::exception_ptr m_error;
    std::thread m_thread;
};

FirstRows::FirstRows(Db::SqliteFile& file, const Db::SqliteDialect& sql,
                     const SqliteTable::Shape& shape, const QString& source,
                     const QStringList& keyValues, bool keptNumbers, const KeyFolding& folding,
                     std::function<void()> pulse, std::optional<Ranking> ranking, bool aside)
    : m_folding(folding), m_ranking(std::move(ranking)), m_pulse(std::move(pulse)),
      m_finder(
          {.order = m_ranking ? RepeatFinder::Order::Any : RepeatFinder::Order::Rising,
           .keptNumbers = keptNumbers,
           .highestOfEqual = m_ranking && m_ranking->lastOfEqual,
           .readBack = shape.rowid.isEmpty()
                           ? RepeatFinder::ReadBack()
                           : [this](qint64 rowid, std::string& key) { readBack(rowid, key); },
           // The thread judging aside only learns that the run stops.
           .pulse =
               [this] {
                   if (!m_aside)
                       m_pulse();
                   else if (m_aside->stopping())
                       throw Stopped{};
               },
           .lowestNumber = m_ranking ? m_ranking->lowest : RepeatFinder::Options().lowestNumber,
           .highestNumber =
               m_ranking ? m_ranking->highest : RepeatFinder::Options().highestNumber}),
      m_source(source), m_file(file) {
    if (!shape.rowid.isEmpty())
        m_readRow = sql.readRow(source, shape.rowid, keyValues);
    if (aside) {
        m_beside = file.readingBeside();
        m_aside = std::make_unique<Aside>(m_finder);
    }
}

// The thread aside stops before the finder and the statement it uses go.
FirstRows::~FirstRows() {
    m_aside.reset();
}

void FirstRows::appendKey(std::string& key, const Db::RawValue* values, int count) const {
    for (int i = 0; i < count; ++i)
        AppendKeyValue(key, values[i], m_folding);
}

std::optional<qint64> FirstRows::firstOf(qint64 number, const Db::RawValue* values, int count) {
    m_key.clear();
    appendKey(m_key, values, count);
    qint64 kept = 0;
    if (!m_finder.offer(QByteArrayView(m_key.data(), qsizetype(m_key.size())), number, &kept))
        return std::nullopt;
    return kept;
}

void FirstRows::add(qint64 number, const Db::RawValue* values, int count, const Judged& judged) {
    const int keys = m_ranking ? count - int(m_ranking->rank.terms()) : count;
    appendKey(m_batch.keys, values, keys);
    m_batch.ends.push_back(m_batch.keys.size());
    if (m_ranking) {
        m_ranking->rank.append(m_batch.ranks, values + keys);
        m_batch.rankEnds.push_back(m_batch.ranks.size());
    }
    m_batch.rows.push_back({.key = {}, .number = number});
    if (m_batch.rows.size() == (m_aside ? kRowsPerHand : kRowsPerBatch))
        hand(judged);
}

void FirstRows::Batch::point() {
    std::size_t start = 0;
    std::size_t rankStart = 0;
    rankViews.resize(rankEnds.size());
    for (std::size_t row = 0; row < rows.size(); ++row) {
        rows[row].key = QByteArrayView(keys.data() + start, qsizetype(ends[row] - start));
        start = ends[row];
        if (!rankEnds.empty()) {
            rankViews[row] =
                QByteArrayView(ranks.data() + rankStart, qsizetype(rankEnds[row] - rankStart));
            rankStart = rankEnds[row];
        }
    }
}

void FirstRows::Batch::offerTo(RepeatFinder& finder, std::size_t from, std::size_t most) {
    const std::size_t count = std::min(most, rows.size() - from);
    finder.offer(std::span(rows).subspan(from, count),
                 rankViews.empty()
                     ? std::span<const QByteArrayView>()
                     : std::span<const QByteArrayView>(rankViews).subspan(from, count));
}

void FirstRows::Batch::clear() {
    keys.clear();
    ends.clear();
    ranks.clear();
    rankEnds.clear();
    rows.clear();
}

// Judges the batch, or hands it to the thread aside once that is done with
// the one before, which is told of here.
void FirstRows::hand(const Judged& judged) {
    if (!m_aside) {
        m_batch.point();
        m_batch.offerTo(m_finder, 0, m_batch.rows.size());
        for (const RepeatFinder::Offer& row : m_batch.rows)
            judged(row);
        m_batch.clear();
        return;
    }
    m_aside->wait(m_pulse);
    for (const RepeatFinder::Offer& row : m_aside->working.rows)
        judged(row);
    std::swap(m_aside->working, m_batch);
    m_aside->working.point();
    m_batch.clear();
    m_aside->start();
}

void FirstRows::flush(const Judged& judged) {
    hand(judged);
    if (m_aside)
        hand(judged);
}

void FirstRows::reserve(qint64 rows) {
    if (rows > 0 && m_aside)
        m_aside->reserve(rows);
    else if (rows > 0)
        m_finder.reserve(std::size_t(rows));
}

void FirstRows::readBack(qint64 rowid, std::string& key) {
    // Made only where a key is too long to keep whole, and aside on a
    // connection of the thread that reads back.
    if (!m_back && m_beside)
        m_backFile = std::make_unique<Db::SqliteFile>(*m_beside);
    if (!m_back)
        m_back = std::make_unique<Db::SqliteFile::Statement>(m_backFile ? *m_backFile : m_file,
                                                             m_readRow);
    m_back->reset();
    m_back->bind(1, rowid);
    if (!m_back->step())
        throw DatabaseError(QString(),
                            QStringLiteral("A row of %1 could not be read again.").arg(m_source));
    for (int i = 0; i < m_back->columnCount(); ++i) {
        const Db::RawValue value = m_back->value(i);
        appendKey(key, &value, 1);
    }
}

bool RowTotal::arrived() {
    return m_total < 0 && m_count.ready() && (m_total = m_count.rows()) >= 0;
}

void WaitAsking(std::condition_variable& changed, std::unique_lock<std::mutex>& lock,
                const std::function<bool()>& ready, const std::function<void()>& waiting) {
    while (!changed.wait_for(lock, std::chrono::milliseconds(10), ready)) {
        lock.unlock();
        waiting();
        lock.lock();
    }
}

void RowTotal::look(FirstRows& rows) {
    if (arrived())
        rows.reserve(m_total);
}

void RowTotal::wait(StopCheck& stop) {
    while (!m_count.ready()) {
        stop.check();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    arrived();
}
