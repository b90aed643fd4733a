#include "RepeatFinder.h"

#include <QHashFunctions>
#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kBlockBytes = std::size_t(1) << 20;
constexpr std::size_t kEntriesPerPulse = 1 << 16;

std::uint32_t hashOf(QByteArrayView key) {
    return static_cast<std::uint32_t>(qHash(key, 0x9e3779b9U));
}

} // namespace

RepeatFinder::RepeatFinder(std::function<void()> pulse) : m_pulse(std::move(pulse)) {}

QByteArrayView RepeatFinder::keyAt(const Entry& entry) const {
    const char* block = m_blocks[entry.start / kBlockBytes].get();
    return {block + entry.start % kBlockBytes, static_cast<qsizetype>(entry.length)};
}

std::uint64_t RepeatFinder::store(QByteArrayView key) {
    const auto size = static_cast<std::size_t>(key.size());
    // A key larger than a block gets a block of its own.
    if (m_blocks.empty() || m_used + size > kBlockBytes || size > kBlockBytes) {
        m_blocks.push_back(std::make_unique<char[]>(std::max(size, kBlockBytes)));
        m_used = 0;
        if (size > kBlockBytes) {
            // Mark the oversized block full, so the next key starts a new one.
            std::memcpy(m_blocks.back().get(), key.data(), size);
            m_used = kBlockBytes;
            return (m_blocks.size() - 1) * kBlockBytes;
        }
    }
    std::memcpy(m_blocks.back().get() + m_used, key.data(), size);
    const std::uint64_t start = (m_blocks.size() - 1) * kBlockBytes + m_used;
    m_used += size;
    return start;
}

void RepeatFinder::grow() {
    const std::size_t size = m_slots.empty() ? 1024 : m_slots.size() * 2;
    std::vector<std::uint32_t> table(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t index = 0; index < m_entries.size(); ++index) {
        if (m_pulse && index % kEntriesPerPulse == kEntriesPerPulse - 1)
            m_pulse();
        std::size_t slot = m_entries[index].hash & mask;
        while (table[slot] != 0)
            slot = (slot + 1) & mask;
        table[slot] = static_cast<std::uint32_t>(index + 1);
    }
    m_slots.swap(table);
}

std::size_t RepeatFinder::slotFor(QByteArrayView key, std::uint32_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    while (m_slots[slot] != 0) {
        const Entry& entry = m_entries[m_slots[slot] - 1];
        if (entry.hash == hash && keyAt(entry) == key)
            return slot;
        slot = (slot + 1) & mask;
    }
    return slot;
}

bool RepeatFinder::contains(QByteArrayView key) const {
    return !m_slots.empty() && m_slots[slotFor(key, hashOf(key))] != 0;
}

qint64 RepeatFinder::offer(QByteArrayView key, qint64 number, qint64* kept) {
    if ((m_entries.size() + 1) * 2 > m_slots.size())
        grow();
    const std::uint32_t hash = hashOf(key);
    const std::size_t slot = slotFor(key, hash);
    if (m_slots[slot] != 0) {
        qint64& lowest = m_lowest[m_slots[slot] - 1];
        if (number < lowest)
            std::swap(number, lowest);
        if (kept)
            *kept = lowest;
        return number;
    }
    m_entries.push_back({store(key), static_cast<std::uint32_t>(key.size()), hash});
    m_lowest.push_back(number);
    m_slots[slot] = static_cast<std::uint32_t>(m_entries.size());
    return 0;
}
