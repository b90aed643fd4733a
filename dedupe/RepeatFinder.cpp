#include "RepeatFinder.h"

#include <QHashFunctions>

namespace {
std::size_t hashOf(QByteArrayView key) {
    return qHash(key, 0x9e3779b9U);
}
} // namespace

QByteArrayView RepeatFinder::keyAt(std::size_t index) const {
    const std::uint64_t begin = index == 0 ? 0 : m_ends[index - 1];
    return {m_keys.data() + begin, static_cast<qsizetype>(m_ends[index] - begin)};
}

void RepeatFinder::grow() {
    const std::size_t size = m_slots.empty() ? 1024 : m_slots.size() * 2;
    std::vector<std::uint32_t> table(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t index = 0; index < m_lowest.size(); ++index) {
        std::size_t slot = hashOf(keyAt(index)) & mask;
        while (table[slot] != 0)
            slot = (slot + 1) & mask;
        table[slot] = static_cast<std::uint32_t>(index + 1);
    }
    m_slots.swap(table);
}

qint64 RepeatFinder::offer(QByteArrayView key, qint64 number) {
    if ((m_lowest.size() + 1) * 2 > m_slots.size())
        grow();
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hashOf(key) & mask;
    while (m_slots[slot] != 0) {
        const std::size_t index = m_slots[slot] - 1;
        if (keyAt(index) == key) {
            qint64& lowest = m_lowest[index];
            if (number < lowest)
                std::swap(number, lowest);
            return number;
        }
        slot = (slot + 1) & mask;
    }
    m_keys.append(key.data(), static_cast<std::size_t>(key.size()));
    m_ends.push_back(m_keys.size());
    m_lowest.push_back(number);
    m_slots[slot] = static_cast<std::uint32_t>(m_lowest.size());
    return 0;
}
