#include "RemovedRows.h"

#include "engine/Varint.h"

#include <algorithm>

namespace {
constexpr std::size_t kRunNumbers = std::size_t(1) << 16;
} // namespace

RemovedRows::RemovedRows(Db::SqliteFile& file, const Db::SqliteDialect& sql, bool listed) {
    if (!listed)
        return;
    file.execute(sql.createRemovedList());
    m_add = std::make_unique<Db::SqliteFile::Statement>(file, sql.addToRemovedList());
    m_list = std::make_unique<Db::SqliteFile::Statement>(file, sql.readRemovedList());
}

void RemovedRows::add(qint64 number, qint64 kept) {
    if (!m_add) {
        m_run.push_back(number);
        if (m_run.size() == kRunNumbers)
            endRun();
        return;
    }
    m_add->reset();
    m_add->bind(1, number);
    m_add->bind(2, kept);
    m_add->step();
}

// A run's first number is its distance from 0, each other one its distance
// from the one before, wrapping: any 64-bit number is a row's.
void RemovedRows::endRun() {
    if (m_run.empty())
        return;
    std::sort(m_run.begin(), m_run.end());
    std::uint64_t previous = 0;
    unsigned char bytes[Varint::kLongest];
    for (const qint64 number : m_run) {
        unsigned char* end = Varint::Write(bytes, std::uint64_t(number) - previous);
        m_packed.insert(m_packed.end(), std::begin(bytes), end);
        previous = std::uint64_t(number);
    }
    m_ends.push_back(m_packed.size());
    m_run.clear();
}

std::optional<qint64> RemovedRows::next() {
    if (m_list)
        return m_list->step() ? std::optional(m_list->integer(0)) : std::nullopt;
    const auto take = [this](std::size_t run, std::uint64_t previous) {
        if (m_at[run] == m_ends[run + 1])
            return;
        std::uint64_t distance = 0;
        m_at[run] =
            std::size_t(Varint::Read(m_packed.data() + m_at[run], distance) - m_packed.data());
        m_heads.push({qint64(previous + distance), run});
    };
    if (!m_merging) {
        m_merging = true;
        endRun();
        m_at.assign(m_ends.begin(), m_ends.end() - 1);
        for (std::size_t run = 0; run < m_at.size(); ++run)
            take(run, 0);
    }
    if (m_heads.empty())
        return std::nullopt;
    const auto [number, run] = m_heads.top();
    m_heads.pop();
    take(run, std::uint64_t(number));
    return number;
}
