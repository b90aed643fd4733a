#include "JudgingAhead.h"

#include "db/DatabaseError.h"

using Db::DatabaseError;
using Db::SqliteFile;

namespace {

constexpr std::size_t kRowsPerChunk = 4096;
// Enough for the copy never to wait while the judge is ahead, few enough to
// cost nothing worth counting.
constexpr std::size_t kChunksAhead = 16;

} // namespace

JudgingAhead::JudgingAhead(SqliteFile& writer, const SqliteTable::Shape& shape,
                           const QString& source, const QStringList& keyValues,
                           const KeyFolding& folding)
    : m_judgesFirst(writer.movesPages()),
      m_file(std::make_unique<SqliteFile>(writer.readingBeside())), m_order(source),
      m_copyOrder(source) {
    const Db::SqliteDialect sql;
    m_firstRows =
        std::make_unique<FirstRows>(*m_file, sql, shape, source, keyValues, false, folding, [this] {
            if (m_stopping)
                throw Stopped{};
        });
    const FirstRows::Judged judged = [this](const RepeatFinder::Offer& row) {
        m_filling.numbers.push_back(row.number);
        m_filling.stays.push_back(!row.repeat);
        if (m_filling.numbers.size() == kRowsPerChunk)
            hand(m_filling);
    };
    qint64 rows = 0;
    m_rows = std::make_unique<KeyRows>(
        *m_file, sql, source, SqliteTable::NumberOf(shape), keyValues, shape.order,
        [this, judged, rows](const Db::RawValue* number, const Db::RawValue* values,
                             int count) mutable {
            if (++rows % RowTotal::kRowsPerLook == 1 && m_expected > 0)
                m_firstRows->reserve(m_expected.exchange(0));
            m_firstRows->add(m_order.next(*number), values, count, judged);
            if (m_stopping)
                throw Stopped{};
        });
    // The judge's transaction begins before the writer's first page.
    m_rowRead = m_rows->step();
    m_thread = std::thread([this, judged] {
        try {
            while (m_rowRead && (m_rowRead = m_rows->step()))
                ;
            m_firstRows->flush(judged);
            hand(m_filling);
        } catch (...) {
            const std::lock_guard lock(m_mutex);
            m_error = std::current_exception();
        }
        const std::lock_guard lock(m_mutex);
        m_done = true;
        m_changed.notify_all();
    });
}

JudgingAhead::~JudgingAhead() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }
    m_file->interrupt();
    m_thread.join();
}

void JudgingAhead::hand(Chunk& chunk) {
    if (chunk.numbers.empty())
        return;
    qint64 repeats = 0;
    for (const bool stays : chunk.stays)
        repeats += stays ? 0 : 1;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock,
                   [this] { return m_judgesFirst || m_stopping || m_ready.size() < kChunksAhead; });
    m_judged += qint64(chunk.numbers.size());
    m_repeats += repeats;
    m_ready.push_back(std::move(chunk));
    chunk = Chunk();
    chunk.numbers.reserve(kRowsPerChunk);
    m_changed.notify_all();
}

void JudgingAhead::waitUntil(std::unique_lock<std::mutex>& lock,
                             const std::function<void()>& waiting,
                             const std::function<bool()>& ready) {
    WaitAsking(m_changed, lock, ready, waiting);
    if (m_error)
        std::rethrow_exception(m_error);
}

bool JudgingAhead::nextChunk(const std::function<void()>& waiting) {
    std::unique_lock lock(m_mutex);
    waitUntil(lock, waiting, [this] { return !m_ready.empty() || m_done; });
    if (m_ready.empty())
        return false;
    m_taking = std::move(m_ready.front());
    m_ready.pop_front();
    m_at = 0;
    m_changed.notify_all();
    return true;
}

bool JudgingAhead::stays(const Db::RawValue& rowid, const std::function<void()>& waiting) {
    const qint64 number = m_copyOrder.next(rowid);
    if (m_at == m_taking.numbers.size() && !nextChunk(waiting))
        throw DatabaseError(QString(), QStringLiteral("The copy read more rows than were judged."));
    if (m_taking.numbers[m_at] != number)
        throw DatabaseError(QString(),
                            QStringLiteral("The copy and the judge read different rows."));
    return m_taking.stays[m_at++];
}

void JudgingAhead::waitForAll(const std::function<void()>& waiting) {
    std::unique_lock lock(m_mutex);
    waitUntil(lock, waiting, [this] { return m_done; });
}

bool JudgingAhead::allTaken(const std::function<void()>& waiting) {
    std::unique_lock lock(m_mutex);
    // A judge with more to hand waits for room, so it is not waited for.
    waitUntil(lock, waiting, [this] { return m_done || !m_ready.empty(); });
    return m_done && m_ready.empty() && m_at == m_taking.numbers.size();
}
