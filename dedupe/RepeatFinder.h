#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <string>
#include <vector>

// Finds the rows whose key repeats the key of a row with a lower number, in one
// pass and in any order of arrival. It keeps each distinct key once, packed into
// one buffer, with the lowest number seen for it, in an open-addressing table:
// a few dozen bytes per distinct key rather than a heap object each.
class RepeatFinder {
public:
    // Takes the row numbered `number` (numbers are positive and unique) with
    // the given key. Returns the number of a row that this shows to be a repeat
    // (this row, or the earlier holder of the key when this one has a lower
    // number), or 0 when the key is new.
    qint64 offer(QByteArrayView key, qint64 number);
    qint64 distinctKeys() const { return static_cast<qint64>(m_lowest.size()); }

private:
    QByteArrayView keyAt(std::size_t index) const;
    void grow();

    std::string m_keys;
    std::vector<std::uint64_t> m_ends;
    std::vector<qint64> m_lowest;
    std::vector<std::uint32_t> m_slots; // 0 = empty, else index + 1
};
