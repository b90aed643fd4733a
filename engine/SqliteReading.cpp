#include "SqliteReading.h"

#include "db/DatabaseError.h"

#include <chrono>
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

void ReadKeysInPlace(Db::SqliteFile& file, const Db::SqliteDialect& sql, const QString& source,
                     const QString& number, const QStringList& keyValues, const QString& order,
                     const EachKey& each) {
    const QString judge = QStringLiteral("varnolt_judge");
    Db::SqliteFile::Registration function(file, judge,
                                          [&](const Db::RawValue* arguments, int count) {
                                              each(arguments, arguments + 1, count - 1);
                                              return true;
                                          });
    Db::SqliteFile::Statement rows(file, sql.judgeRows(source, judge, number, keyValues, order));
    while (rows.step())
        ;
}

FirstRows::FirstRows(Db::SqliteFile& file, const Db::SqliteDialect& sql,
                     const SqliteTable::Shape& shape, const QString& source,
                     const QStringList& keyValues, bool keptNumbers, const KeyFolding& folding,
                     std::function<void()> pulse, std::optional<OrderRank> ranking,
                     bool lastOfEqual)
    : m_folding(folding), m_ranking(std::move(ranking)),
      m_finder({.order = m_ranking ? RepeatFinder::Order::Any : RepeatFinder::Order::Rising,
                .keptNumbers = keptNumbers,
                .highestOfEqual = lastOfEqual,
                .readBack = shape.rowid.isEmpty()
                                ? RepeatFinder::ReadBack()
                                : [this](qint64 rowid, std::string& key) { readBack(rowid, key); },
                .pulse = std::move(pulse)}),
      m_source(source) {
    if (!shape.rowid.isEmpty())
        m_back = std::make_unique<Db::SqliteFile::Statement>(
            file, sql.readRow(source, shape.rowid, keyValues));
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

namespace {
constexpr std::size_t kRowsPerBatch = 64;
} // namespace

void FirstRows::add(qint64 number, const Db::RawValue* values, int count, const Judged& judged) {
    const int keys = m_ranking ? count - int(m_ranking->terms()) : count;
    appendKey(m_keys, values, keys);
    m_ends.push_back(m_keys.size());
    if (m_ranking) {
        m_ranking->append(m_ranks, values + keys);
        m_rankEnds.push_back(m_ranks.size());
    }
    m_batch.push_back({.key = {}, .number = number});
    if (m_batch.size() == kRowsPerBatch)
        flush(judged);
}

void FirstRows::flush(const Judged& judged) {
    // Views into the keys only now: the text moves while it grows.
    std::size_t start = 0;
    std::size_t rankStart = 0;
    for (std::size_t row = 0; row < m_batch.size(); ++row) {
        m_batch[row].key = QByteArrayView(m_keys.data() + start, qsizetype(m_ends[row] - start));
        start = m_ends[row];
        if (m_ranking) {
            m_batch[row].rank =
                QByteArrayView(m_ranks.data() + rankStart, qsizetype(m_rankEnds[row] - rankStart));
            rankStart = m_rankEnds[row];
        }
    }
    m_finder.offer(m_batch);
    for (const RepeatFinder::Offer& row : m_batch)
        judged(row);
    m_keys.clear();
    m_ends.clear();
    m_ranks.clear();
    m_rankEnds.clear();
    m_batch.clear();
}

void FirstRows::reserve(qint64 rows) {
    if (rows > 0)
        m_finder.reserve(std::size_t(rows));
}

void FirstRows::readBack(qint64 rowid, std::string& key) {
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
